#include "settingsfile.h"

#include "presets/safefilereplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QTemporaryFile>

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

} // namespace

bool WriteSettingsSafely(const std::function<void(QSettings&)>& change) {
    QSettings current;
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    // The registry and the property-list store replace values in place themselves.
    change(current);
    current.sync();
    return current.status() == QSettings::NoError;
#else
    const QString target = SaveTarget(current.fileName());
    QByteArray bytes;
    SettingsMap expected;
    {
        // Qt's own writer produces the new contents in a scratch file of our own. When its final
        // flush meets a full disk it renames the short file into place and still reports
        // success, so it never writes the real file, and its result counts only once read back.
        QTemporaryFile scratch(target + QLatin1Char('.') + QLatin1String(SaveCopyMarker) +
                               QStringLiteral("XXXXXX"));
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !scratch.open())
            return false;
        QSettings staged(scratch.fileName(), QSettings::IniFormat);
        for (const QString& key : current.allKeys())
            staged.setValue(key, current.value(key));
        change(staged);
        staged.sync();
        if (staged.status() != QSettings::NoError)
            return false;
        expected = ReadAll(staged);
        QFile produced(scratch.fileName());
        if (!produced.open(QIODevice::ReadOnly))
            return false;
        bytes = produced.readAll();
        if (produced.error() != QFileDevice::NoError)
            return false;
    }
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
