#include "transfernetwork.h"

#include <QStringList>
#include <QUrl>

namespace Tarnwick {

bool IsUsableProxy(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    static const QStringList schemes{QStringLiteral("http"), QStringLiteral("https"),
                                     QStringLiteral("socks5"), QStringLiteral("socks5h")};
    return url.isValid() && schemes.contains(url.scheme()) && !url.host().isEmpty() && url.port() > 0 &&
           (url.path().isEmpty() || url.path() == QLatin1String("/")) && !url.hasQuery() &&
           !url.hasFragment() && (url.password().isEmpty() || !url.userName().isEmpty());
}

QString ProxyShownAs(const QString& proxy) {
    if (proxy.isEmpty())
        return proxy;
    QUrl url(proxy);
    if (!url.isValid())
        return QStringLiteral("(an unusable proxy address)");
    url.setPassword(QString());
    return url.toString(QUrl::RemovePassword | QUrl::StripTrailingSlash);
}

QString ProxyPassword(const QString& proxy) {
    return QUrl(proxy).password(QUrl::FullyDecoded);
}

QString WithProxyPassword(const QString& proxy, const QString& password) {
    QUrl url(proxy.trimmed());
    if (proxy.trimmed().isEmpty() || !url.isValid())
        return proxy.trimmed();
    url.setPassword(password.isEmpty() ? QString() : password, QUrl::DecodedMode);
    return url.toString(QUrl::FullyEncoded | QUrl::StripTrailingSlash);
}

} // namespace Tarnwick
