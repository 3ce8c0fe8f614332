#pragma once

#include <QByteArrayView>
#include <QString>

namespace Tarnwick {

// Text from a page or a server as it may be shown on a terminal: control characters (C0, DEL
// and C1) are written as escapes ("\x1b", "\u009b"), so that a page title cannot move the
// cursor, recolour the terminal or set its title.
QString TerminalSafe(const QString& text);

// Bytes for a message about a name that is not UTF-8: printable ASCII as it is, every other
// byte as "\xNN".
QString EscapedBytes(QByteArrayView bytes);

// Whether bytes are well-formed UTF-8.
bool IsValidUtf8(QByteArrayView bytes);

} // namespace Tarnwick
