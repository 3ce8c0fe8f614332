#include "ytdlpversioncache.h"

#include "presets/safefilereplace.h"

#include <QFile>
#include <QList>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

namespace Tarnwick {

namespace {

// A few programs at most are ever in use (the own copy, the one on PATH, a configured one);
// the oldest entries beyond this go.
constexpr int MaxEntries = 16;
constexpr qint64 MaxFileBytes = 64 * 1024;

// A program as it is on disk now. The modification time is taken at the file system's own
// resolution: a program replaced by one of the same size within the same millisecond (an
// update, a test's stand-in) must still count as changed.
struct Stamp {
    qint64 size = -1;
    qint64 modified = -1;
    bool operator==(const Stamp&) const = default;
};

std::optional<Stamp> StampOf(const QString& program) {
    std::error_code error;
    const std::filesystem::path path(program.toStdU16String());
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    const auto size = std::filesystem::file_size(path, error);
    if (error)
        return std::nullopt;
    const auto modified = std::filesystem::last_write_time(path, error);
    if (error)
        return std::nullopt;
    return Stamp{qint64(size), qint64(modified.time_since_epoch().count())};
}

// One line a program: size, modification time, version, then the path, which takes the rest
// of the line so that no character of it needs escaping but a line feed.
struct Entry {
    Stamp stamp;
    QString version;
    QString path;
};

QByteArray ReadFile(const QString& file) {
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly) || input.size() > MaxFileBytes)
        return QByteArray();
    return input.readAll();
}

QList<Entry> ReadEntries(const QByteArray& text) {
    QList<Entry> entries;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 4)
            continue;
        Entry entry;
        bool sizeValid = false;
        bool timeValid = false;
        entry.stamp.size = fields[0].toLongLong(&sizeValid);
        entry.stamp.modified = fields[1].toLongLong(&timeValid);
        entry.version = QString::fromUtf8(fields[2]);
        entry.path = QString::fromUtf8(line.mid(fields[0].size() + fields[1].size() + fields[2].size() + 3));
        if (sizeValid && timeValid && !entry.version.isEmpty() && !entry.path.isEmpty())
            entries.append(entry);
    }
    return entries;
}

QByteArray EntriesText(const QList<Entry>& entries) {
    QByteArray text;
    for (const Entry& entry : entries)
        text += QByteArray::number(entry.stamp.size) + '\t' + QByteArray::number(entry.stamp.modified) +
                '\t' + entry.version.toUtf8() + '\t' + entry.path.toUtf8() + '\n';
    return text;
}

bool FitsOnALine(const QString& text) {
    return !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

} // namespace

YtDlpVersionCache::YtDlpVersionCache(QString file)
    : file_(std::move(file)) {}

QString YtDlpVersionCache::DefaultFile() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/Ostrand/Tarnwick/yt-dlp-versions");
}

std::optional<QString> YtDlpVersionCache::Version(const QString& program) const {
    if (file_.isEmpty() || program.isEmpty())
        return std::nullopt;
    const std::optional<Stamp> stamp = StampOf(program);
    if (!stamp)
        return std::nullopt;
    // Read once: a run looks up the own copy and the one on PATH together.
    if (!stored_)
        stored_ = ReadFile(file_);
    for (const Entry& entry : ReadEntries(*stored_))
        if (entry.path == program && entry.stamp == *stamp)
            return entry.version;
    return std::nullopt;
}

void YtDlpVersionCache::Remember(const QString& program, const QString& version) const {
    const std::optional<Stamp> stamp = StampOf(program);
    if (file_.isEmpty() || !stamp || version.isEmpty() || !FitsOnALine(program) ||
        version.contains(QLatin1Char('\t')) || !FitsOnALine(version))
        return;
    // Read again: another Tarnwick may have added to it meanwhile.
    QList<Entry> entries = ReadEntries(ReadFile(file_));
    entries.removeIf([&program](const Entry& entry) { return entry.path == program; });
    entries.prepend({*stamp, version, program});
    if (entries.size() > MaxEntries)
        entries.resize(MaxEntries);
    const QByteArray text = EntriesText(entries);
    if (ReplaceFileSafely(file_, [&text](const QString& temp) {
            QFile output(temp);
            return output.open(QIODevice::WriteOnly) && output.write(text) == text.size() && output.flush();
        }))
        stored_ = text;
}

} // namespace Tarnwick
