#include "scriptliteral.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cmath>

namespace Tarnwick {

namespace {

constexpr int DepthLimit = 32;

bool IsIdentifierCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

bool IsClosing(QChar c) {
    return c == u',' || c == u'}' || c == u']' || c == u')';
}

class LiteralReader {
public:
    LiteralReader(QStringView text, qsizetype at)
        : text_(text)
        , i_(at) {}

    qsizetype Position() const { return i_; }

    // An object or an array, whatever follows it (";", ")", the rest of the script).
    bool ReadTopLevel(QJsonValue& value) {
        SkipSpace();
        if (AtEnd())
            return false;
        if (text_[i_] == u'{') {
            QJsonObject object;
            if (!ReadObject(object, 1))
                return false;
            value = object;
            return true;
        }
        if (text_[i_] == u'[') {
            QJsonArray array;
            if (!ReadArray(array, 1))
                return false;
            value = array;
            return true;
        }
        return false;
    }

    // A value that is not a literal comes back undefined, with true: it was stepped over.
    bool ReadValue(QJsonValue& value, int depth) {
        SkipSpace();
        if (AtEnd())
            return false;
        const QChar c = text_[i_];
        bool read = false;
        if (c == u'{') {
            QJsonObject object;
            read = depth < DepthLimit && ReadObject(object, depth + 1);
            value = object;
        } else if (c == u'[') {
            QJsonArray array;
            read = depth < DepthLimit && ReadArray(array, depth + 1);
            value = array;
        } else if (c == u'"' || c == u'\'' || c == u'`') {
            QString string;
            bool literal = true;
            read = ReadString(string, literal);
            value = literal ? QJsonValue(string) : QJsonValue(QJsonValue::Undefined);
        } else if (c.isDigit() || c == u'-' || c == u'+' || c == u'.') {
            read = ReadNumber(value);
        } else if (IsIdentifierCharacter(c)) {
            const QStringView word = ReadWord();
            if (word == u"true" || word == u"false")
                value = word == u"true";
            else if (word == u"null")
                value = QJsonValue::Null;
            else
                value = QJsonValue::Undefined;
            read = true;
        } else {
            value = QJsonValue::Undefined;
            return SkipExpression();
        }
        if (!read)
            return false;
        // "'/media/' + name", "f(x)", "a.b": what follows makes the value an expression.
        SkipSpace();
        if (!AtEnd() && !IsClosing(text_[i_])) {
            value = QJsonValue::Undefined;
            return SkipExpression();
        }
        return true;
    }

private:
    bool AtEnd() const { return i_ >= text_.size(); }

    void SkipSpace() {
        while (!AtEnd()) {
            const QChar c = text_[i_];
            if (c.isSpace()) {
                ++i_;
            } else if (c == u'/' && i_ + 1 < text_.size() && text_[i_ + 1] == u'/') {
                while (!AtEnd() && text_[i_] != u'\n')
                    ++i_;
            } else if (c == u'/' && i_ + 1 < text_.size() && text_[i_ + 1] == u'*') {
                const qsizetype end = text_.indexOf(u"*/", i_ + 2);
                i_ = end < 0 ? text_.size() : end + 2;
            } else {
                return;
            }
        }
    }

    QStringView ReadWord() {
        const qsizetype start = i_;
        while (!AtEnd() && IsIdentifierCharacter(text_[i_]))
            ++i_;
        return text_.mid(start, i_ - start);
    }

    bool ReadNumber(QJsonValue& value) {
        const qsizetype start = i_;
        while (!AtEnd() &&
               (text_[i_].isLetterOrNumber() || text_[i_] == u'.' || text_[i_] == u'-' || text_[i_] == u'+'))
            ++i_;
        bool ok = false;
        const double number = text_.mid(start, i_ - start).toDouble(&ok);
        // "Infinity" and NaN have no place in the result; -0 is 0 for what is read here.
        value = ok && std::isfinite(number) ? QJsonValue(number == 0 ? 0.0 : number)
                                            : QJsonValue(QJsonValue::Undefined);
        return true;
    }

    int HexValue(qsizetype from, qsizetype count) const {
        if (from + count > text_.size())
            return -1;
        bool ok = false;
        const int value = text_.mid(from, count).toInt(&ok, 16);
        return ok ? value : -1;
    }

    // A quoted string with JavaScript's escapes. A template with a placeholder is not a literal.
    bool ReadString(QString& out, bool& literal) {
        const QChar quote = text_[i_++];
        while (!AtEnd()) {
            const QChar c = text_[i_++];
            if (c == quote)
                return true;
            if (quote == u'`' && c == u'$' && !AtEnd() && text_[i_] == u'{')
                literal = false;
            if (c != u'\\') {
                // A line break ends an unclosed quote: the rest is not this string.
                if (quote != u'`' && (c == u'\n' || c == u'\r'))
                    return false;
                out += c;
                continue;
            }
            if (AtEnd())
                return false;
            const QChar e = text_[i_++];
            switch (e.unicode()) {
            case 'n':
                out += u'\n';
                break;
            case 't':
                out += u'\t';
                break;
            case 'r':
                out += u'\r';
                break;
            case 'b':
                out += u'\b';
                break;
            case 'f':
                out += u'\f';
                break;
            case 'v':
                out += u'\v';
                break;
            case '0':
                out += QChar(0);
                break;
            case '\n':
                break; // a continued line
            case 'x': {
                const int code = HexValue(i_, 2);
                if (code < 0)
                    return false;
                out += QChar(code);
                i_ += 2;
                break;
            }
            case 'u': {
                if (!AtEnd() && text_[i_] == u'{') {
                    const qsizetype close = text_.indexOf(u'}', i_);
                    const int code = close < 0 || close - i_ > 7 ? -1 : HexValue(i_ + 1, close - i_ - 1);
                    if (code < 0 || code > 0x10FFFF)
                        return false;
                    const char32_t point = char32_t(code);
                    out += QString::fromUcs4(&point, 1);
                    i_ = close + 1;
                } else {
                    const int code = HexValue(i_, 4);
                    if (code < 0)
                        return false;
                    out += QChar(code);
                    i_ += 4;
                }
                break;
            }
            default:
                out += e; // \/ \' \" \\ and any other character stand for themselves
            }
        }
        return false;
    }

    bool ReadObject(QJsonObject& object, int depth) {
        ++i_; // '{'
        for (;;) {
            SkipSpace();
            if (AtEnd())
                return false;
            if (text_[i_] == u'}') {
                ++i_;
                return true;
            }
            if (text_[i_] == u',') {
                ++i_;
                continue;
            }
            QString key;
            if (text_[i_] == u'"' || text_[i_] == u'\'') {
                bool literal = true;
                if (!ReadString(key, literal))
                    return false;
            } else if (IsIdentifierCharacter(text_[i_])) {
                key = ReadWord().toString();
            } else {
                // A computed key or a spread: step over the whole entry.
                if (!SkipExpression() || !AtEntryEnd(u'}'))
                    return false;
                continue;
            }
            SkipSpace();
            if (AtEntryEnd(u'}'))
                continue; // a shorthand entry names a variable
            if (!AtEnd() && text_[i_] == u'(') {
                // A method: "onReady() { ... }".
                if (!SkipExpression() || !AtEntryEnd(u'}'))
                    return false;
                continue;
            }
            if (AtEnd() || text_[i_] != u':')
                return false;
            ++i_;
            QJsonValue value;
            if (!ReadValue(value, depth) || !AtEntryEnd(u'}'))
                return false;
            if (!value.isUndefined())
                object.insert(key, value);
        }
    }

    // Every entry ends at a comma or at its list's closing bracket; anything else there means the
    // text is not the literal it seemed, and reading stops rather than guess.
    bool AtEntryEnd(QChar closer) {
        SkipSpace();
        return !AtEnd() && (text_[i_] == u',' || text_[i_] == closer);
    }

    bool ReadArray(QJsonArray& array, int depth) {
        ++i_; // '['
        for (;;) {
            SkipSpace();
            if (AtEnd())
                return false;
            if (text_[i_] == u']') {
                ++i_;
                return true;
            }
            if (text_[i_] == u',') {
                ++i_;
                continue;
            }
            QJsonValue value;
            if (!ReadValue(value, depth) || !AtEntryEnd(u']'))
                return false;
            if (!value.isUndefined())
                array.append(value);
        }
    }

    // Steps over an expression up to the ',' or closing bracket that ends it, minding brackets,
    // strings and comments on the way. False when the text ends first or brackets do not match.
    bool SkipExpression() {
        QString brackets;
        for (;;) {
            SkipSpace();
            if (AtEnd())
                return false;
            const QChar c = text_[i_];
            if (c == u'"' || c == u'\'' || c == u'`') {
                QString ignored;
                bool literal = true;
                if (!ReadString(ignored, literal))
                    return false;
                continue;
            }
            if (brackets.isEmpty() && IsClosing(c))
                return true;
            if (c == u'{' || c == u'[' || c == u'(') {
                brackets += c == u'{' ? u'}' : c == u'[' ? u']' : u')';
            } else if (c == u'}' || c == u']' || c == u')') {
                if (brackets.back() != c)
                    return false;
                brackets.chop(1);
            }
            ++i_;
        }
    }

    QStringView text_;
    qsizetype i_;
};

} // namespace

QJsonValue ReadScriptLiteral(QStringView text, qsizetype& at) {
    LiteralReader reader(text, at);
    QJsonValue value;
    if (!reader.ReadTopLevel(value))
        return QJsonValue(QJsonValue::Undefined);
    at = reader.Position();
    return value;
}

} // namespace Tarnwick
