#pragma once

#include <QJsonValue>
#include <QStringView>

namespace Tarnwick {

// Reads the JavaScript object or array literal that begins at text[at] (after blanks and
// comments), as pages write player set-ups: keys with or without quotes, strings in single,
// double or back quotes with JavaScript's escapes, trailing commas, comments. A value that is
// not a literal (a variable, a call, a function, a sum) is skipped and left out of the result.
// Objects and arrays nest at most 32 deep. On success at is moved past the literal; on
// failure the result is undefined and at is left as it was. The work is linear in the text
// read.
QJsonValue ReadScriptLiteral(QStringView text, qsizetype& at);

} // namespace Tarnwick
