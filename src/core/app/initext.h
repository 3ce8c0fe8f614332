#pragma once

#include <QByteArray>
#include <QList>
#include <QVariant>

namespace Tarnwick {

// The settings file as text, edited one value at a time: every line that is not edited stays
// byte for byte, so a value in an encoding the program cannot decode (a folder name from an
// older system) survives a save that changed something else. Keys are the settings' own,
// "Section/Name" or a bare name for the "General" section; values are in the file's escaped
// form (IniEncodedValue).
class IniText {
public:
    explicit IniText(const QByteArray& bytes = {});

    // The value's text after "=", or a null array when the key is not there.
    QByteArray RawValue(const QString& key) const;
    void Set(const QString& key, const QByteArray& rawValue);
    void Remove(const QString& key);
    QByteArray Bytes() const;

private:
    struct Line {
        QByteArray text;    // without its line end
        QByteArray section; // the section it belongs to; empty before the first header
        QByteArray key;     // the key as the settings name it ("URLs/1"); empty for other lines
    };
    qsizetype Find(const QByteArray& section, const QByteArray& key) const;

    QList<Line> lines_;
    QByteArray lineEnd_ = "\n";
};

// The value as the settings' own writer puts it in the file: a number as digits, a text with
// its special characters escaped and quoted where blanks or separators would be lost.
QByteArray IniEncodedValue(const QVariant& value);

} // namespace Tarnwick
