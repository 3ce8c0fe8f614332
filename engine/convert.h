#pragma once

#include "notifier.h"
#include "varnex.h"

namespace VarnexEngine {

// Command 201: converts as the option line says, reporting through notify (may be null).
// Begin and end are always notified; every failure is reported as a result text and
// answered with VARNEX_FAILED, and leaves no output file behind.
int ConvertCommand(const char* optionLine, VarnexNotifyFunction notify);
// Command 202: the same, notified with the host's context.
int ConvertCommand(const VarnexConvertBlock* block);

} // namespace VarnexEngine
