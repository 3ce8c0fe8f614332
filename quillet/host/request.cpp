#include "request.h"

#include "browser/entrypoints.h"
#include "launch.h"
#include "sitecookies.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

namespace Quillet {

namespace {

constexpr qsizetype MaxUrlBytes = 8 * 1024;

QByteArray Compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool HasControlCharacter(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
            return true;
    }
    return false;
}

bool IsHttpAddress(const QString& url) {
    return url.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
           url.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

// Why the address cannot be handed on, or an empty text.
QString CheckUrl(const QString& url) {
    if (url.toUtf8().size() > MaxUrlBytes)
        return QStringLiteral("The address is longer than 8 KiB.");
    if (!QStringView(url).isValidUtf16())
        return QStringLiteral("The address is not valid text.");
    if (HasControlCharacter(url))
        return QStringLiteral("The address contains control characters.");
    if (!IsHttpAddress(url))
        return QStringLiteral("Only http and https addresses can be downloaded.");
    return {};
}

QByteArray StateAnswer() {
    const Tarnwick::EntryPoints entries = Tarnwick::QuilletState::Read();
    return Compact({{QStringLiteral("ok"), true},
                    {QStringLiteral("contextMenu"), entries.contextMenu},
                    {QStringLiteral("toolbarButton"), entries.toolbarButton},
                    {QStringLiteral("toolsMenu"), entries.toolsMenu},
                    {QStringLiteral("sendCookies"), Tarnwick::QuilletState::SendsCookies()}});
}

QByteArray DownloadAnswer(const QJsonObject& request) {
    const QJsonValue url = request.value(QStringLiteral("url"));
    if (!url.isString())
        return ErrorAnswer(QStringLiteral("The download command needs the address as \"url\"."));
    // The site's cookies, when the user lets the extension send them; absent otherwise.
    const QJsonValue cookies = request.value(QStringLiteral("cookies"));
    if (!cookies.isUndefined() && !cookies.isArray())
        return ErrorAnswer(QStringLiteral("The site's cookies must come as a list."));
    if (cookies.toArray().size() > MaxSiteCookies)
        return ErrorAnswer(QStringLiteral("More than %1 cookies came with the address.").arg(MaxSiteCookies));
    QString refusal = CheckUrl(url.toString());
    if (refusal.isEmpty())
        // The switch is checked here too: with it off no cookie goes on, whoever sent them.
        refusal = LaunchTarnwick(url.toString(), Tarnwick::QuilletState::SendsCookies()
                                                     ? NetscapeCookiesFor(cookies.toArray(), url.toString())
                                                     : QByteArray());
    if (!refusal.isEmpty())
        return ErrorAnswer(refusal);
    return Compact({{QStringLiteral("ok"), true}});
}

} // namespace

QByteArray ErrorAnswer(const QString& text) {
    return Compact({{QStringLiteral("ok"), false}, {QStringLiteral("error"), text}});
}

QByteArray Answer(const QByteArray& message) {
    // The JSON reader would replace broken sequences silently; an address must arrive as sent.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(message);
    if (utf8.hasError())
        return ErrorAnswer(QStringLiteral("The message is not valid UTF-8."));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return ErrorAnswer(QStringLiteral("The message is not a JSON object."));

    const QJsonObject request = document.object();
    const QString command = request.value(QStringLiteral("cmd")).toString();
    if (command == QStringLiteral("state"))
        return StateAnswer();
    if (command == QStringLiteral("download"))
        return DownloadAnswer(request);
    return ErrorAnswer(QStringLiteral("Unknown command."));
}

} // namespace Quillet
