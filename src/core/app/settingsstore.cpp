#include "settingsstore.h"

#include "settingsfile.h"

#include <QCoreApplication>
#include <QMap>
#include <QSettings>

namespace Tarnwick {

namespace {

const QString RecentUrlsGroup = QStringLiteral("Recent/URLs");
const QString RecentFoldersGroup = QStringLiteral("Recent/Folders");

bool IsListKey(const QString& key) {
    return key.startsWith(RecentUrlsGroup + QLatin1Char('/')) ||
           key.startsWith(RecentFoldersGroup + QLatin1Char('/'));
}

// Settings held in memory only. A settings object syncs what was set when it goes, whatever its
// file: one with an empty file name takes the lock ".lock" in the working folder, waiting up to
// half a minute for a file of that name there and then deleting it. A file inside the program's
// own executable can be neither read nor locked nor written, on any system.
QString MemoryOnlySettingsPath() {
    return QCoreApplication::applicationFilePath() + QStringLiteral("/memory-only.ini");
}

// What Save(QSettings&) writes for the record, without the recent lists, held in memory only.
QMap<QString, QVariant> SingleValues(const AppSettings& settings) {
    QSettings memory{MemoryOnlySettingsPath(), QSettings::IniFormat};
    settings.Save(memory);
    QMap<QString, QVariant> values;
    for (const QString& key : memory.allKeys()) {
        if (!IsListKey(key))
            values.insert(key, memory.value(key));
    }
    return values;
}

bool SameValue(const QVariant& a, const QVariant& b) {
    return a.toString() == b.toString();
}

} // namespace

void SettingsStore::Load() {
    values_ = AppSettings();
    storedKeys_.clear();
    if (SettingsFileIsReadable()) {
        QSettings stored;
        values_.Load(stored);
        const QStringList keys = stored.allKeys();
        storedKeys_ = QSet<QString>(keys.cbegin(), keys.cend());
    }
    loaded_ = values_;
}

void SettingsStore::Refresh(const QStringList& keys) {
    if (!SettingsFileIsReadable())
        return;
    AppSettings stored = loaded_;
    {
        QSettings file;
        stored.Load(file);
    }
    const auto now = SingleValues(values_);
    const auto then = SingleValues(loaded_);
    const auto there = SingleValues(stored);
    QSettings takeOver{MemoryOnlySettingsPath(), QSettings::IniFormat};
    for (const QString& key : keys) {
        if (SameValue(now.value(key), then.value(key)) && !SameValue(there.value(key), then.value(key)))
            takeOver.setValue(key, there.value(key));
    }
    if (takeOver.allKeys().isEmpty())
        return;
    // Load reads the lists too, and an absent list would read as empty.
    for (AppSettings* record : {&values_, &loaded_}) {
        const RecentList urls = record->recentUrlList;
        const RecentList folders = record->recentFolderList;
        record->Load(takeOver);
        record->recentUrlList = urls;
        record->recentFolderList = folders;
    }
}

bool SettingsStore::HasChanges() const {
    if (!values_.recentUrlList.Additions().isEmpty() || !values_.recentFolderList.Additions().isEmpty())
        return true;
    const auto now = SingleValues(values_);
    const auto then = SingleValues(loaded_);
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (!storedKeys_.contains(it.key()) || !SameValue(it.value(), then.value(it.key())))
            return true;
    }
    // A value this instance cleared, which the record then leaves out.
    for (auto it = then.cbegin(); it != then.cend(); ++it) {
        if (!now.contains(it.key()))
            return true;
    }
    return false;
}

bool SettingsStore::Save() {
    if (!HasChanges())
        return true;
    const auto now = SingleValues(values_);
    const auto then = SingleValues(loaded_);
    const bool saved = WriteSettingsSafely([&](QSettings& stored) {
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            // A value missing from the file is written as this instance has it.
            if (!SameValue(it.value(), then.value(it.key())) || !stored.contains(it.key()))
                stored.setValue(it.key(), it.value());
        }
        for (auto it = then.cbegin(); it != then.cend(); ++it) {
            if (!now.contains(it.key()))
                stored.remove(it.key());
        }
        const std::pair<const RecentList*, QString> lists[] = {
            {&values_.recentUrlList, RecentUrlsGroup}, {&values_.recentFolderList, RecentFoldersGroup}};
        for (const auto& [list, group] : lists) {
            if (list->Additions().isEmpty())
                continue;
            RecentList merged = *list;
            merged.Read(stored, group);
            list->AddAdditionsTo(merged);
            merged.Write(stored, group);
        }
    });
    if (saved) {
        // What is saved now is this instance's starting point for a later save.
        values_.recentUrlList.ForgetAdditions();
        values_.recentFolderList.ForgetAdditions();
        loaded_ = values_;
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            storedKeys_.insert(it.key());
    }
    return saved;
}

} // namespace Tarnwick
