#pragma once

#include <QByteArray>
#include <QString>

namespace Tarnwick {

// The SHA-256 a release's SHA2-256SUMS gives for the file, in lower-case hex; empty when the
// list has no well-formed line for it. Lines read "<64 hex digits>  <name>" (a '*' before
// the name marks binary mode and is not part of it).
QByteArray ChecksumFor(const QByteArray& sumsText, const QString& fileName);

} // namespace Tarnwick
