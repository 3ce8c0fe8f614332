#include "subtitletext.h"

#include <QStringDecoder>

#include <algorithm>

namespace Tarnwick {

namespace {

// Far beyond any film's subtitles; a file with more is cut there rather than held in memory.
constexpr int kMostCues = 100000;
constexpr int kLongestCueText = 4096;

// "hh:mm:ss.ttt" or "mm:ss.ttt" (WebVTT), "hh:mm:ss,ttt" (SubRip); -1 when the text is none.
qint64 ParseTimestamp(QStringView text) {
    const QList<QStringView> fields = text.split(QLatin1Char(':'));
    if (fields.size() < 2 || fields.size() > 3)
        return -1;
    QStringView last = fields.back();
    const qsizetype point = std::max(last.indexOf(QLatin1Char('.')), last.indexOf(QLatin1Char(',')));
    if (point < 0)
        return -1;
    const QStringView fraction = last.mid(point + 1);
    last = last.left(point);
    const auto number = [](QStringView digits, int most, qint64& value) {
        if (digits.isEmpty() || digits.size() > most)
            return false;
        for (QChar c : digits) {
            if (!c.isDigit() || c.unicode() > '9')
                return false;
        }
        value = digits.toLongLong();
        return true;
    };
    qint64 hours = 0;
    qint64 minutes = 0;
    qint64 seconds = 0;
    qint64 thousandths = 0;
    if (fields.size() == 3 && !number(fields[0], 5, hours))
        return -1;
    if (!number(fields[fields.size() - 2], 2, minutes) || !number(last, 2, seconds) ||
        !number(fraction, 3, thousandths) || minutes > 59 || seconds > 59)
        return -1;
    for (qsizetype i = fraction.size(); i < 3; ++i)
        thousandths *= 10;
    return ((hours * 60 + minutes) * 60 + seconds) * 1000 + thousandths;
}

// "start --> end", then WebVTT's cue settings, which SubRip has no use for.
bool ParseTiming(QStringView line, qint64& startMs, qint64& endMs) {
    const qsizetype arrow = line.indexOf(QLatin1String("-->"));
    if (arrow < 0)
        return false;
    QStringView end = line.mid(arrow + 3).trimmed();
    for (qsizetype i = 0; i < end.size(); ++i) {
        if (end[i].isSpace()) {
            end = end.left(i);
            break;
        }
    }
    startMs = ParseTimestamp(line.left(arrow).trimmed());
    endMs = ParseTimestamp(end);
    return startMs >= 0 && endMs >= 0;
}

QString DecodedReference(QStringView name) {
    static const QList<QPair<QLatin1String, QChar>> named = {
        {QLatin1String("amp"), QLatin1Char('&')},   {QLatin1String("lt"), QLatin1Char('<')},
        {QLatin1String("gt"), QLatin1Char('>')},    {QLatin1String("quot"), QLatin1Char('"')},
        {QLatin1String("apos"), QLatin1Char('\'')}, {QLatin1String("nbsp"), QChar(0x00A0)},
        {QLatin1String("lrm"), QChar(0x200E)},      {QLatin1String("rlm"), QChar(0x200F)},
    };
    for (const auto& [word, character] : named) {
        if (name == word)
            return QString(character);
    }
    if (name.size() > 1 && name.size() <= 8 && name[0] == QLatin1Char('#')) {
        bool ok = false;
        const bool hex = name[1] == QLatin1Char('x') || name[1] == QLatin1Char('X');
        const uint code = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
        if (ok && code >= 0x20 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF))
            return QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
    }
    return {};
}

// The cue's text as SubRip players show it: the italic, bold and underline tags kept, every
// other tag (voices, classes, timestamps, fonts) dropped, references decoded, control
// characters gone.
QString CleanText(QStringView text) {
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('<')) {
            const qsizetype close = text.indexOf(QLatin1Char('>'), i);
            if (close > i) {
                const QString tag = text.mid(i + 1, close - i - 1).trimmed().toString().toLower();
                static const QStringList kept = {QStringLiteral("i"),  QStringLiteral("b"),
                                                 QStringLiteral("u"),  QStringLiteral("/i"),
                                                 QStringLiteral("/b"), QStringLiteral("/u")};
                if (kept.contains(tag))
                    clean += QLatin1Char('<') + tag + QLatin1Char('>');
                i = close;
                continue;
            }
        } else if (c == QLatin1Char('&')) {
            const qsizetype semicolon = text.indexOf(QLatin1Char(';'), i);
            if (semicolon > i && semicolon - i <= 10) {
                const QString decoded = DecodedReference(text.mid(i + 1, semicolon - i - 1));
                if (!decoded.isEmpty()) {
                    clean += decoded;
                    i = semicolon;
                    continue;
                }
            }
        } else if (c != QLatin1Char('\n') && c.category() == QChar::Other_Control) {
            continue;
        }
        clean += c;
    }
    // A blank line would end the cue in SubRip.
    QStringList lines;
    for (const QString& line : clean.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            lines.append(line.trimmed());
    }
    return lines.join(QLatin1Char('\n')).left(kLongestCueText);
}

// UTF-8 as both formats are written today; a file that is not is taken as Latin-1, as older
// SubRip files often are.
QString DecodedText(const QByteArray& data) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(data);
    if (utf8.hasError())
        text = QString::fromLatin1(data);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

bool IsWebVttHeader(QStringView line) {
    return line.startsWith(QLatin1String("WEBVTT")) &&
           (line.size() == 6 || line[6] == QLatin1Char(' ') || line[6] == QLatin1Char('\t'));
}

// Notes, style sheets and regions of a WebVTT file carry no text to show.
bool IsWebVttMetaBlock(QStringView line) {
    for (const char* word : {"NOTE", "STYLE", "REGION"}) {
        const QLatin1String start(word);
        if (line.startsWith(start) && (line.size() == start.size() || line[start.size()].isSpace()))
            return true;
    }
    return false;
}

} // namespace

bool ReadSubtitleText(const QByteArray& data, QList<SubtitleCue>& cues, QString* reason) {
    cues.clear();
    const auto refuse = [reason](const QString& why) {
        if (reason != nullptr)
            *reason = why;
        return false;
    };
    if (data.trimmed().isEmpty())
        return refuse(QStringLiteral("the file is empty"));
    if (data.size() > LargestSubtitleFile)
        return refuse(QStringLiteral("the file is larger than %1 MiB").arg(LargestSubtitleFile >> 20));

    QString text = DecodedText(data);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QList<QStringView> lines = QStringView(text).split(QLatin1Char('\n'));
    qsizetype first = 0;
    while (first < lines.size() && lines[first].trimmed().isEmpty())
        ++first;
    const bool webVtt = first < lines.size() && IsWebVttHeader(lines[first]);

    bool sawTiming = false;
    qsizetype at = webVtt ? first + 1 : first;
    // The WebVTT header's own block (its settings lines) ends at the first blank line.
    while (webVtt && at < lines.size() && !lines[at].trimmed().isEmpty())
        ++at;
    while (at < lines.size() && cues.size() < kMostCues) {
        if (lines[at].trimmed().isEmpty()) {
            ++at;
            continue;
        }
        qsizetype end = at;
        while (end < lines.size() && !lines[end].trimmed().isEmpty())
            ++end;
        // A cue may start with its identifier (a number in SubRip, any text in WebVTT).
        qsizetype timing = at;
        if (!lines[at].contains(QLatin1String("-->")) && at + 1 < end)
            timing = at + 1;
        SubtitleCue cue;
        const bool meta = webVtt && IsWebVttMetaBlock(lines[at]);
        if (!meta && ParseTiming(lines[timing], cue.startMs, cue.endMs)) {
            sawTiming = true;
            QStringList textLines;
            for (qsizetype i = timing + 1; i < end; ++i)
                textLines.append(lines[i].toString());
            cue.text = CleanText(textLines.join(QLatin1Char('\n')));
            if (cue.endMs > cue.startMs && !cue.text.isEmpty())
                cues.append(cue);
        }
        at = end;
    }
    if (!webVtt && !sawTiming)
        return refuse(QStringLiteral("the file is neither WebVTT nor SubRip"));
    if (cues.isEmpty())
        return refuse(QStringLiteral("the file holds no cue"));
    std::stable_sort(cues.begin(), cues.end(),
                     [](const SubtitleCue& a, const SubtitleCue& b) { return a.startMs < b.startMs; });
    return true;
}

QByteArray WriteSubRip(const QList<SubtitleCue>& cues) {
    const auto clock = [](qint64 ms) {
        return QStringLiteral("%1:%2:%3,%4")
            .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
            .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
            .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
            .arg(ms % 1000, 3, 10, QLatin1Char('0'));
    };
    QString out;
    for (int i = 0; i < cues.size(); ++i) {
        const SubtitleCue& cue = cues[i];
        out += QString::number(i + 1) + QLatin1Char('\n') + clock(cue.startMs) + QLatin1String(" --> ") +
               clock(cue.endMs) + QLatin1Char('\n') + cue.text + QLatin1String("\n\n");
    }
    return out.toUtf8();
}

} // namespace Tarnwick
