#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace Tarnwick {

// The checks a preset file passes before the XML parser sees it. The parser descends one
// call per nesting level and reads whatever size the system reports, so a hostile or broken
// file (a folder, a device, 100,000 levels deep) would end the program instead of being
// refused.
constexpr qint64 PresetFileSizeLimit = qint64(4) << 20;
constexpr int PresetFileDepthLimit = 32;

// Reads the whole file when it is a regular file of at most PresetFileSizeLimit bytes, with
// its line ends made "\n" as the parser's own file reader makes them. False with the reason,
// as a phrase to follow "could not be read: ", in *reason.
bool ReadPresetFileBytes(const QString& path, QByteArray& bytes, QString* reason);

// True when no element in text is nested deeper than maxDepth. Counts the way the parser
// reads: comments, CDATA, declarations and quoted attribute values open nothing, and a
// self-closing tag opens nothing. Where the two could disagree the count errs high.
bool NestingWithin(QByteArrayView text, int maxDepth);

// A preset name as the file may hold it: without control characters (C0, DEL, C1), which an
// XML file cannot carry, and without the two non-characters; bytes that are not UTF-8 have
// become U+FFFD on the way in.
QString CleanPresetName(const QString& name);

// Whether bytes are a well-formed XML document by the letter of the standard (characters,
// references and encoding included), which the preset parser itself is lenient about.
bool IsStrictlyWellFormed(const QByteArray& bytes);

} // namespace Tarnwick
