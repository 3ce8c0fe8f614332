#include "sitecookies.h"

#include <QJsonObject>
#include <QUrl>
#include <cmath>

namespace Quillet {

namespace {

// Text that can stand in a field of a cookie line: no tab, no line end, no other control byte.
bool IsFieldText(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

bool AppliesTo(const QString& host, const QString& domain, bool hostOnly) {
    if (domain.isEmpty())
        return false;
    if (hostOnly || domain == host)
        return domain == host;
    return host.endsWith(QLatin1Char('.') + domain);
}

// One cookie as a line, or an empty text when it is not one the host may be sent.
QByteArray CookieLine(const QJsonObject& cookie, const QString& host) {
    const QString name = cookie.value(QStringLiteral("name")).toString();
    const QString value = cookie.value(QStringLiteral("value")).toString();
    QString domain = cookie.value(QStringLiteral("domain")).toString().toLower();
    const QString path = cookie.value(QStringLiteral("path")).toString(QStringLiteral("/"));
    const bool hostOnly = cookie.value(QStringLiteral("hostOnly")).toBool();
    if (domain.startsWith(QLatin1Char('.')))
        domain.remove(0, 1);
    if (name.isEmpty() || !path.startsWith(QLatin1Char('/')) || domain.contains(QLatin1Char(' ')))
        return {};
    for (const QString& field : {name, value, domain, path})
        if (!IsFieldText(field))
            return {};
    if (!AppliesTo(host, domain, hostOnly))
        return {};
    // A session cookie has no expiry; 0 says so in the file. A whole number of seconds either way.
    const double expiry = cookie.value(QStringLiteral("expirationDate")).toDouble(0);
    const bool session =
        cookie.value(QStringLiteral("session")).toBool() || !std::isfinite(expiry) || expiry <= 0;
    const qint64 expires = session ? 0 : qint64(std::ceil(expiry));
    const auto flag = [](bool on) {
        return on ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    };
    const QString line =
        (cookie.value(QStringLiteral("httpOnly")).toBool() ? QStringLiteral("#HttpOnly_") : QString()) +
        (hostOnly ? domain : QLatin1Char('.') + domain) + QLatin1Char('\t') + flag(!hostOnly) +
        QLatin1Char('\t') + path + QLatin1Char('\t') + flag(cookie.value(QStringLiteral("secure")).toBool()) +
        QLatin1Char('\t') + QString::number(expires) + QLatin1Char('\t') + name + QLatin1Char('\t') + value;
    return line.toUtf8() + '\n';
}

} // namespace

QByteArray NetscapeCookiesFor(const QJsonArray& cookies, const QString& url) {
    const QString host = QUrl(url).host().toLower();
    QByteArray text;
    if (host.isEmpty())
        return text;
    for (const QJsonValue& cookie : cookies)
        if (cookie.isObject())
            text += CookieLine(cookie.toObject(), host);
    return text;
}

} // namespace Quillet
