#include "initext.h"

#include <QString>
#include <cctype>

namespace Tarnwick {

namespace {

const QByteArray GeneralSection = "General";

// "Recent/URLs/1" lives in section "Recent" as "URLs\1"; a bare name in "General".
std::pair<QByteArray, QByteArray> SplitKey(const QString& key) {
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return {GeneralSection, key.toUtf8()};
    return {key.left(slash).toUtf8(), key.mid(slash + 1).toUtf8()};
}

QByteArray FileKey(const QByteArray& key) {
    QByteArray result = key;
    return result.replace('/', '\\');
}

} // namespace

IniText::IniText(const QByteArray& bytes) {
    if (bytes.contains("\r\n"))
        lineEnd_ = "\r\n";
    QList<QByteArray> texts = bytes.split('\n');
    // A final line end leaves an empty last piece, which is not a line.
    if (!texts.isEmpty() && texts.last().isEmpty())
        texts.removeLast();
    QByteArray section;
    for (QByteArray& text : texts) {
        if (text.endsWith('\r'))
            text.chop(1);
        Line line{text, section, {}};
        const QByteArray trimmed = text.trimmed();
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            section = trimmed.mid(1, trimmed.size() - 2);
            line.section = section;
        } else if (!trimmed.isEmpty() && !trimmed.startsWith(';') && trimmed.contains('=')) {
            line.key = trimmed.left(trimmed.indexOf('=')).trimmed().replace('\\', '/');
        }
        lines_.append(std::move(line));
    }
}

qsizetype IniText::Find(const QByteArray& section, const QByteArray& key) const {
    for (qsizetype i = lines_.size() - 1; i >= 0; --i) {
        // The settings reader takes the last of repeated keys.
        if (!lines_[i].key.isEmpty() && lines_[i].section == section && lines_[i].key == key)
            return i;
    }
    return -1;
}

QByteArray IniText::RawValue(const QString& key) const {
    const auto [section, name] = SplitKey(key);
    const qsizetype at = Find(section, name);
    if (at < 0)
        return {};
    const QByteArray& text = lines_[at].text;
    QByteArray value = text.mid(text.indexOf('=') + 1).trimmed();
    if (value.isNull())
        value = QByteArray(""); // present but empty
    return value;
}

void IniText::Set(const QString& key, const QByteArray& rawValue) {
    const auto [section, name] = SplitKey(key);
    const QByteArray text = FileKey(name) + '=' + rawValue;
    const qsizetype at = Find(section, name);
    if (at >= 0) {
        lines_[at].text = text;
        return;
    }
    // After the last value of its section, else in a new section at the end.
    qsizetype last = -1;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        if (lines_[i].section == section && !lines_[i].text.trimmed().isEmpty())
            last = i;
    }
    if (last < 0) {
        if (!lines_.isEmpty() && !lines_.last().text.trimmed().isEmpty())
            lines_.append(Line{{}, lines_.last().section, {}});
        lines_.append(Line{'[' + section + ']', section, {}});
        last = lines_.size() - 1;
    }
    lines_.insert(last + 1, Line{text, section, name});
}

void IniText::Remove(const QString& key) {
    const auto [section, name] = SplitKey(key);
    for (qsizetype at = Find(section, name); at >= 0; at = Find(section, name))
        lines_.removeAt(at);
}

QByteArray IniText::Bytes() const {
    QByteArray bytes;
    for (const Line& line : lines_)
        bytes += line.text + lineEnd_;
    return bytes;
}

QByteArray IniEncodedValue(const QVariant& value) {
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
        value.typeId() == QMetaType::Bool)
        return QByteArray::number(value.toLongLong());
    QString text = value.toString();
    // A leading '@' marks a typed value to the reader; a plain one is doubled.
    if (text.startsWith(QLatin1Char('@')))
        text.prepend(QLatin1Char('@'));
    QByteArray result;
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (u == ';' || u == ',' || u == '=')
            needsQuotes = true;
        // "\x1" followed by a hex digit would read as one longer escape.
        if (escapeNextIfDigit && u < 0x80 && std::isxdigit(int(u))) {
            result += "\\x" + QByteArray::number(u, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (u) {
        case 0:
            result += "\\0";
            escapeNextIfDigit = true;
            break;
        case '\a':
            result += "\\a";
            break;
        case '\b':
            result += "\\b";
            break;
        case '\f':
            result += "\\f";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        case '\v':
            result += "\\v";
            break;
        case '"':
        case '\\':
            result += '\\';
            result += char(u);
            break;
        default:
            if (u <= 0x1F) {
                result += "\\x" + QByteArray::number(u, 16);
                escapeNextIfDigit = true;
            } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                result += text.mid(i, 2).toUtf8();
                ++i;
            } else {
                result += QString(c).toUtf8();
            }
            break;
        }
    }
    if (needsQuotes || result.startsWith(' ') || result.endsWith(' '))
        result = '"' + result + '"';
    return result;
}

} // namespace Tarnwick
