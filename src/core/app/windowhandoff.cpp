#include "windowhandoff.h"

#include "settingsfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace Tarnwick {

namespace {

constexpr int HandOffVersion = 1;

} // namespace

QByteArray EncodeHandOff(const CommandLineArgs& args) {
    QJsonObject message;
    message.insert(QStringLiteral("version"), HandOffVersion);
    message.insert(QStringLiteral("urls"), QJsonArray::fromStringList(args.urls));
    message.insert(QStringLiteral("folder"), args.outputFolder);
    // The socket is the user's alone, as the pipe the cookies came through was.
    if (!args.handedCookies.isEmpty())
        message.insert(QStringLiteral("cookies"), QString::fromLatin1(args.handedCookies.toBase64()));
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<CommandLineArgs> DecodeHandOff(const QByteArray& line) {
    if (!line.endsWith('\n'))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject message = document.object();
    if (message.value(QStringLiteral("version")).toInt() != HandOffVersion)
        return std::nullopt;
    const QJsonValue urls = message.value(QStringLiteral("urls"));
    const QJsonValue folder = message.value(QStringLiteral("folder"));
    const QJsonValue cookies = message.value(QStringLiteral("cookies"));
    if (!urls.isArray() || !folder.isString() || !(cookies.isUndefined() || cookies.isString()))
        return std::nullopt;
    CommandLineArgs args;
    for (const QJsonValue& url : urls.toArray()) {
        if (!url.isString())
            return std::nullopt;
        args.urls.append(url.toString());
    }
    args.outputFolder = folder.toString();
    const auto decoded = QByteArray::fromBase64Encoding(cookies.toString().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    args.handedCookies = *decoded;
    args.request = args.urls.isEmpty() ? CommandLineArgs::Nothing : CommandLineArgs::AddressesGiven;
    return args;
}

QString WindowSocketName() {
    const QByteArray settingsFolder = QFileInfo(SettingsFilePath()).absolutePath().toUtf8();
    const QString key = QString::fromLatin1(
        QCryptographicHash::hash(settingsFolder, QCryptographicHash::Sha256).toHex().left(16));
#ifdef Q_OS_WIN
    // A pipe name: the pipe's access rights keep it to this user.
    return QStringLiteral("Tarnwick-") + key;
#else
    // The runtime folder is the user's alone (Qt refuses one that is not), and the socket in it
    // is made for the user only too.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/tarnwick-") +
           key + QStringLiteral(".socket");
#endif
}

CommandLineArgs WithAbsoluteFolder(CommandLineArgs args) {
    if (!args.outputFolder.isEmpty())
        args.outputFolder = QDir::cleanPath(QDir::current().absoluteFilePath(args.outputFolder));
    return args;
}

} // namespace Tarnwick
