#include "urlcheck.h"

#include <QUrl>

namespace Tarnwick {

namespace {

bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsSchemeCharacter(QChar c) {
    return IsAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

} // namespace

bool IsUrl(QStringView text) {
    const qsizetype colon = text.indexOf(u':');
    // A one-letter scheme would make every drive-letter path ("C:\...") an address.
    if (colon < 2 || !IsAsciiLetter(text.front()))
        return false;
    for (qsizetype i = 1; i < colon; ++i) {
        if (!IsSchemeCharacter(text[i]))
            return false;
    }
    return true;
}

bool IsWebUrl(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace Tarnwick
