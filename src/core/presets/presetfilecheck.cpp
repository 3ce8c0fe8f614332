#include "presetfilecheck.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace Tarnwick {

namespace {

// Position just past the first occurrence of marker at or after from; the end when none.
qsizetype SkipPast(QByteArrayView text, qsizetype from, QByteArrayView marker) {
    const qsizetype at = text.indexOf(marker, from);
    return at < 0 ? text.size() : at + marker.size();
}

// Position just past the '>' that ends the tag opened at from, with quoted values skipped
// (a '>' or "/>" inside quotes ends nothing); *selfClosing when it ends in "/>".
qsizetype SkipTag(QByteArrayView text, qsizetype from, bool* selfClosing) {
    char quote = 0;
    for (qsizetype i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            *selfClosing = text[i - 1] == '/';
            return i + 1;
        }
    }
    *selfClosing = false;
    return text.size();
}

// CR LF and a lone CR become LF, as the parser's file reader does before parsing.
QByteArray NormalizeLineEnds(const QByteArray& bytes) {
    QByteArray result;
    result.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            result.append('\n');
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            result.append(bytes[i]);
        }
    }
    return result;
}

} // namespace

bool ReadPresetFileBytes(const QString& path, QByteArray& bytes, QString* reason) {
    const QFileInfo info(path);
    // Checked before opening: opening a pipe would wait for a writer, and a folder has no text.
    if (!info.isFile()) {
        *reason =
            info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    // Read one byte past the limit rather than trust the size: the file may grow meanwhile.
    const QByteArray read = file.read(PresetFileSizeLimit + 1);
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return false;
    }
    if (read.size() > PresetFileSizeLimit) {
        *reason = QStringLiteral("it is larger than %1 MiB").arg(PresetFileSizeLimit >> 20);
        return false;
    }
    bytes = NormalizeLineEnds(read);
    return true;
}

QString CleanPresetName(const QString& name) {
    QString clean;
    clean.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFE || c == 0xFFFF)
            continue;
        if (QChar::isSurrogate(c)) {
            // A pair stays whole; a lone half has no character to stand for.
            if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
                clean.append(name.mid(i, 2));
                ++i;
            }
            continue;
        }
        clean.append(QChar(c));
    }
    return clean;
}

bool IsStrictlyWellFormed(const QByteArray& bytes) {
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

bool NestingWithin(QByteArrayView text, int maxDepth) {
    int depth = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf('<', i);
        if (open < 0)
            break;
        const QByteArrayView rest = text.sliced(open);
        if (rest.startsWith("<!--")) {
            i = SkipPast(text, open + 4, "-->");
        } else if (rest.startsWith("<![CDATA[")) {
            i = SkipPast(text, open + 9, "]]>");
        } else if (rest.startsWith("<!") || rest.startsWith("<?")) {
            i = SkipPast(text, open + 2, ">");
        } else if (rest.startsWith("</")) {
            depth = qMax(0, depth - 1);
            i = SkipPast(text, open + 2, ">");
        } else {
            bool selfClosing = false;
            i = SkipTag(text, open + 1, &selfClosing);
            if (!selfClosing && ++depth > maxDepth)
                return false;
        }
    }
    return true;
}

} // namespace Tarnwick
