#pragma once

#include <QByteArray>

namespace Quillet {

// Answers one message of the extension: {"cmd":"state"} with the three entry points' flags and
// whether to send the site's cookies, {"cmd":"download","url":U} by starting the program with U
// (and, with "cookies", handing it those of U's site). Every answer is a JSON object with
// "ok"; a refusal carries "error", a text for the user.
QByteArray Answer(const QByteArray& message);
QByteArray ErrorAnswer(const QString& text);

} // namespace Quillet
