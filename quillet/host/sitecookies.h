#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QString>

namespace Quillet {

// At most this many cookies come with one address.
constexpr int MaxSiteCookies = 10000;

// The cookies the extension sent with an address, as the browser's cookies interface lists
// them ({name, value, domain, hostOnly, path, secure, httpOnly, session, expirationDate}), in
// the Netscape cookies.txt format the program reads. Only cookies the address's host may be
// sent are kept (its own, and its parent domains' where the cookie allows), and none with a byte
// that could end a field or a line: a browser's word is not taken for where a secret may go.
// Empty when none is left.
QByteArray NetscapeCookiesFor(const QJsonArray& cookies, const QString& url);

} // namespace Quillet
