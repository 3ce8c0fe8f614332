#pragma once

#include "varnex.h"

namespace VarnexEngine {

// Command 201: converts as the option line says, reporting through notify (may be null).
// Begin and end are always notified; every failure is reported as a result text and
// answered with VARNEX_FAILED, and leaves no output file behind.
int ConvertCommand(const char* optionLine, VarnexNotifyFunction notify);

// Answers a convert request that cannot be served at all, with begin, the reason and end
// notified as for any failed conversion. Returns VARNEX_UNAVAILABLE.
int RefuseConvert(VarnexNotifyFunction notify, const char* reason);

} // namespace VarnexEngine
