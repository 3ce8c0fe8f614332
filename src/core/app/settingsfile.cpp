#include "settingsfile.h"

#include "initext.h"
#include "presets/safefilereplace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cstdio>

namespace Tarnwick {

namespace {

// Values are compared in the form the file holds them: every value Tarnwick stores is a
// number or a text, and numbers come back from the file as text.
QString Comparable(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QChar(0x1F));
    return value.toString();
}

using SettingsMap = QMap<QString, QString>;

SettingsMap ReadAll(QSettings& settings) {
    SettingsMap values;
    for (const QString& key : settings.allKeys())
        values.insert(key, Comparable(settings.value(key)));
    return values;
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

// What stands at path when it is neither missing nor a regular file: "a pipe", ...; empty
// otherwise. Links are followed.
QString NonRegularKind(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return QString();
    return info.isDir() ? QStringLiteral("a folder") : QStringLiteral("not a regular file");
}

void Complain(const QString& text) {
    std::fprintf(stderr, "tarnwick: %s\n", qPrintable(text));
}

// The bytes a value is written as: those of a stored value that reads the same, so that moving
// an entry of a recent list keeps bytes the settings reader could not decode; else the
// escaped text.
QByteArray EncodedLike(const QVariant& value, const QMap<QString, QByteArray>& storedBytes) {
    const auto found = storedBytes.constFind(Comparable(value));
    return found != storedBytes.cend() ? found.value() : IniEncodedValue(value);
}

} // namespace

QString SettingsFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           QCoreApplication::organizationName() + QLatin1Char('/') + QCoreApplication::applicationName() +
           QStringLiteral(".conf");
}

bool SettingsFileIsReadable() {
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    return true;
#else
    const QString path = SettingsFilePath();
    const QString kind = NonRegularKind(path);
    if (kind.isEmpty())
        return true;
    static bool told = false;
    if (!std::exchange(told, true))
        Complain(QStringLiteral("the settings file %1 is %2; it is not read, and defaults are used")
                     .arg(QDir::toNativeSeparators(path), kind));
    return false;
#endif
}

bool WriteSettingsSafely(const std::function<void(QSettings&)>& change) {
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    // The registry and the property-list store replace values in place themselves.
    QSettings current;
    change(current);
    current.sync();
    return current.status() == QSettings::NoError;
#else
    const QString target = SaveTarget(SettingsFilePath());
    if (const QString kind = NonRegularKind(target); !kind.isEmpty()) {
        Complain(QStringLiteral("the settings file %1 is %2; the settings are not saved")
                     .arg(QDir::toNativeSeparators(target), kind));
        return false;
    }
    QByteArray stored;
    if (QFileInfo::exists(target)) {
        QFile file(target);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        stored = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return false;
    }

    // change() sees the settings as they are stored now, in a scratch copy; what it changed
    // there is then edited into the file's text.
    SettingsMap before;
    SettingsMap expected;
    QList<std::pair<QString, QVariant>> changed;
    QStringList removed;
    {
        QTemporaryFile scratch(target + QLatin1Char('.') + QLatin1String(SaveCopyMarker) +
                               QStringLiteral("XXXXXX"));
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !scratch.open() ||
            scratch.write(stored) != stored.size() || !scratch.flush())
            return false;
        QSettings staged(scratch.fileName(), QSettings::IniFormat);
        before = ReadAll(staged);
        change(staged);
        expected = ReadAll(staged);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            if (!before.contains(it.key()) || before.value(it.key()) != it.value())
                changed.append({it.key(), staged.value(it.key())});
        }
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (!expected.contains(it.key()))
                removed.append(it.key());
        }
        if (staged.status() != QSettings::NoError)
            return false;
    }
    if (changed.isEmpty() && removed.isEmpty())
        return true; // nothing to write: the file keeps its bytes, its inode and its time

    IniText text(stored);
    QMap<QString, QByteArray> storedBytes;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const QByteArray raw = text.RawValue(it.key());
        if (!raw.isNull())
            storedBytes.insert(it.value(), raw);
    }
    for (const QString& key : removed)
        text.Remove(key);
    for (const auto& [key, value] : changed)
        text.Set(key, EncodedLike(value, storedBytes));
    const QByteArray bytes = text.Bytes();
    return ReplaceFileSafely(
        target, [&](const QString& tempPath) { return WriteBytes(tempPath, bytes); },
        [&](const QString& tempPath) {
            // Read back from the disk: a file no settings object has seen is parsed afresh.
            QSettings written(tempPath, QSettings::IniFormat);
            return written.status() == QSettings::NoError && ReadAll(written) == expected;
        });
#endif
}

} // namespace Tarnwick
