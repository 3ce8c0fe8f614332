#pragma once

#include <QByteArray>

namespace Tarnwick {

// Everything on standard input up to its end, but never more than limit + 1 bytes, so that a
// caller can tell too much from enough without holding all of it.
QByteArray ReadStandardInput(qint64 limit);

} // namespace Tarnwick
