#include "journaltext.h"

#include "orderedbyid.h"
#include "retrieval/job/jobtempfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <utility>

namespace Tarnwick {

namespace {

constexpr int JournalVersion = 1;
// The largest journal read: some 100,000 queued addresses. Anything larger is not ours.
constexpr qsizetype MaxJournalBytes = 64 << 20;

// Entries are made on the window's thread for lists that may hold many thousands of jobs:
// written directly, they cost a sixth of building them as JSON documents.
class JsonWriter {
public:
    explicit JsonWriter(QByteArray& out)
        : out_(out) {}

    void Key(const char* key) {
        out_ += first_ ? "\"" : ",\"";
        out_ += key;
        out_ += "\":";
        first_ = false;
    }
    void Text(const char* key, const QString& value) {
        Key(key);
        AppendString(value.toUtf8());
    }
    void Number(const char* key, qint64 value) {
        Key(key);
        out_ += QByteArray::number(value);
    }
    void Boolean(const char* key, bool value) {
        Key(key);
        out_ += value ? "true" : "false";
    }

private:
    // Runs of plain characters go in whole: addresses and paths rarely hold any to escape.
    void AppendString(const QByteArray& utf8) {
        out_ += '"';
        qsizetype plainFrom = 0;
        for (qsizetype i = 0; i < utf8.size(); ++i) {
            const char c = utf8[i];
            const auto byte = static_cast<unsigned char>(c);
            if (c != '"' && c != '\\' && byte >= 0x20)
                continue;
            out_.append(utf8.constData() + plainFrom, i - plainFrom);
            plainFrom = i + 1;
            if (byte >= 0x20) {
                out_ += '\\';
                out_ += c;
            } else {
                static const char hex[] = "0123456789abcdef";
                out_ += "\\u00";
                out_ += hex[byte >> 4];
                out_ += hex[byte & 0xf];
            }
        }
        out_.append(utf8.constData() + plainFrom, utf8.size() - plainFrom);
        out_ += '"';
    }

    QByteArray& out_;
    bool first_ = true;
};

void AppendJob(QByteArray& out, const DownloadJob& job) {
    out += '{';
    JsonWriter object(out);
    // The id lets the changes appended after a snapshot name the job.
    if (job.id != 0)
        object.Number("id", qint64(job.id));
    object.Text("url", job.url);
    if (job.choices) {
        object.Text("folder", job.choices->outputFolder);
        object.Number("quality", int(job.choices->quality));
        object.Boolean("convert", job.choices->convert);
        if (job.choices->convert) {
            object.Text("format", job.choices->formatName);
            object.Text("preset", job.choices->presetName);
        }
    }
    if (!job.chosenFormat.isEmpty())
        object.Text("picture", job.chosenFormat);
    if (job.largestPicture >= 0)
        object.Number("largestPicture", job.largestPicture);
    // Only that the browser handed cookies over: never the cookies.
    if (job.cookiesHanded)
        object.Boolean("cookiesHanded", true);
    if (job.partial.IsKept()) {
        object.Text("partial", job.partial.path);
        // Validators are bytes as the server sent them; Latin-1 carries every byte unchanged.
        object.Text("etag", QString::fromLatin1(job.partial.etag));
        object.Text("lastModified", QString::fromLatin1(job.partial.lastModified));
        object.Number("length", job.partial.length);
        if (!job.partial.playlistDigest.isEmpty()) {
            object.Text("playlist", QString::fromLatin1(job.partial.playlistDigest.toHex()));
            object.Number("segments", job.partial.segmentsDone);
            object.Number("segmentBytes", job.partial.segmentBytes);
        }
    }
    out += '}';
}

bool IsText(const QJsonObject& object, const QString& key) {
    return !object.contains(key) || object.value(key).isString();
}

bool ReadJob(const QJsonValue& value, DownloadJob& job) {
    if (!value.isObject())
        return false;
    const QJsonObject object = value.toObject();
    for (const char* key :
         {"url", "folder", "format", "preset", "partial", "etag", "lastModified", "playlist", "picture"})
        if (!IsText(object, QString::fromLatin1(key)))
            return false;
    job.url = object.value(QStringLiteral("url")).toString();
    if (job.url.isEmpty())
        return false;
    job.chosenFormat = object.value(QStringLiteral("picture")).toString();
    job.largestPicture = qBound(-1, object.value(QStringLiteral("largestPicture")).toInt(-1), 16384);
    job.cookiesHanded = object.value(QStringLiteral("cookiesHanded")).toBool();
    if (object.contains(QStringLiteral("folder"))) {
        const int quality = object.value(QStringLiteral("quality")).toInt(-1);
        if (quality < int(VideoQuality::Standard) || quality > int(VideoQuality::HighMp4))
            return false;
        JobChoices choices;
        choices.outputFolder = object.value(QStringLiteral("folder")).toString();
        choices.quality = VideoQuality(quality);
        choices.convert = object.value(QStringLiteral("convert")).toBool();
        choices.formatName = object.value(QStringLiteral("format")).toString();
        choices.presetName = object.value(QStringLiteral("preset")).toString();
        job.choices = choices;
    }
    const QString partial = object.value(QStringLiteral("partial")).toString();
    if (job.choices && JobTempFile::IsWorkingFileName(partial)) {
        job.partial.path = partial;
        job.partial.etag = object.value(QStringLiteral("etag")).toString().toLatin1();
        job.partial.lastModified = object.value(QStringLiteral("lastModified")).toString().toLatin1();
        job.partial.length = qint64(object.value(QStringLiteral("length")).toDouble(-1));
        // Segments that do not add up name no place to go on from: the playlist starts again.
        const int segments = object.value(QStringLiteral("segments")).toInt(0);
        const qint64 segmentBytes = qint64(object.value(QStringLiteral("segmentBytes")).toDouble(0));
        if (segments > 0 && segmentBytes > 0) {
            job.partial.playlistDigest =
                QByteArray::fromHex(object.value(QStringLiteral("playlist")).toString().toLatin1());
            job.partial.segmentsDone = segments;
            job.partial.segmentBytes = segmentBytes;
        }
    }
    return true;
}

} // namespace

bool IsUnfinished(const DownloadJob& job) {
    switch (job.state) {
    case JobState::Succeeded:
    case JobState::Skipped:
        return false;
    case JobState::Failed:
        return job.partial.IsKept();
    default:
        return true;
    }
}

QByteArray JournalText(const QList<DownloadJob>& jobs) {
    OrderedById<QByteArray> entries;
    quint64 position = 0;
    for (const DownloadJob& job : jobs)
        if (IsUnfinished(job))
            entries.Append(++position, JournalEntryText(job));
    return JournalTextOf(entries);
}

namespace {

// Ids the reader gives the jobs of a snapshot that carry none (written before ids were, or by a
// whole-list record): above any a writer gives out, so that no change line can name them.
constexpr quint64 UnnamedIds = quint64(1) << 62;

bool ReadId(const QJsonValue& value, quint64& id) {
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number < 1 || number >= double(UnnamedIds) || number != std::floor(number))
        return false;
    id = quint64(number);
    return true;
}

bool ReadSnapshot(const QByteArray& text, OrderedById<DownloadJob>& jobs) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("tarnwickJournal")).toInt() != JournalVersion ||
        !root.value(QStringLiteral("jobs")).isArray())
        return false;
    quint64 unnamed = UnnamedIds;
    for (const QJsonValue& value : root.value(QStringLiteral("jobs")).toArray()) {
        DownloadJob job;
        if (!ReadJob(value, job))
            return false;
        quint64 id = ++unnamed;
        const QJsonValue idValue = value.toObject().value(QStringLiteral("id"));
        if (!idValue.isUndefined() && (!ReadId(idValue, id) || jobs.Contains(id)))
            return false;
        jobs.Append(id, job);
    }
    return true;
}

// A line appended after the snapshot: a job recorded or replaced, or one gone.
bool ApplyChangeLine(const QByteArray& line, OrderedById<DownloadJob>& jobs) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject change = document.object();
    quint64 id = 0;
    if (!ReadId(change.value(QStringLiteral("id")), id))
        return false;
    if (change.value(QStringLiteral("gone")).toBool())
        return jobs.Remove(id);
    quint64 after = 0;
    const QJsonValue afterValue = change.value(QStringLiteral("after"));
    if (!(afterValue.isDouble() && afterValue.toDouble() == 0) && !ReadId(afterValue, after))
        return false;
    DownloadJob job;
    return ReadJob(change.value(QStringLiteral("job")), job) && jobs.Put(id, after, job);
}

} // namespace

QByteArray JournalEntryText(const DownloadJob& job) {
    QByteArray entry;
    // Room for the usual entry at once: lists of thousands make one after another.
    entry.reserve(64 + 2 * job.url.size() + (job.choices ? 2 * job.choices->outputFolder.size() + 64 : 0) +
                  (job.partial.IsKept() ? 2 * job.partial.path.size() + 192 : 0));
    AppendJob(entry, job);
    return entry;
}

JournalChanges EntriesOf(const JobChanges& changes) {
    JournalChanges entries;
    entries.reserve(changes.size());
    for (const JobChange& change : changes)
        entries.append({change.id, change.after, change.job ? JournalEntryText(*change.job) : QByteArray()});
    return entries;
}

QByteArray JournalChangeLine(const JournalChange& change) {
    QByteArray line = "{\"id\":" + QByteArray::number(change.id);
    if (change.IsRemoval())
        line += ",\"gone\":true}\n";
    else
        line += ",\"after\":" + QByteArray::number(change.after) + ",\"job\":" + change.entry + "}\n";
    return line;
}

QByteArray JournalTextOf(const OrderedById<QByteArray>& entries) {
    QByteArray text = "{\"jobs\":[";
    bool first = true;
    for (const auto& [id, entry] : entries.Items()) {
        if (!std::exchange(first, false))
            text += ',';
        text += entry;
    }
    text += "],\"tarnwickJournal\":" + QByteArray::number(JournalVersion) + '}';
    return text;
}

bool ReadJournalText(const QByteArray& text, QList<DownloadJob>& jobs) {
    jobs.clear();
    if (text.size() > MaxJournalBytes)
        return false;
    // The snapshot is one line; each change after it is a line of its own. A last line without
    // its line feed was being written when the writer ended, and did not happen.
    const qsizetype snapshotEnd = text.indexOf('\n');
    OrderedById<DownloadJob> read;
    if (!ReadSnapshot(snapshotEnd < 0 ? text : text.left(snapshotEnd), read))
        return false;
    for (qsizetype start = snapshotEnd + 1; snapshotEnd >= 0 && start < text.size();) {
        const qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            break;
        if (!ApplyChangeLine(text.mid(start, end - start), read))
            return false;
        start = end + 1;
    }
    for (const auto& [id, job] : read.Items())
        jobs.append(job);
    return true;
}

} // namespace Tarnwick
