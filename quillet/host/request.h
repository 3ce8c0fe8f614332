#pragma once

#include <QByteArray>

namespace Quillet {

// Answers one message of the extension: {"cmd":"state"} with the three entry points' flags,
// {"cmd":"download","url":U} by starting the program with U. Every answer is a JSON object with
// "ok"; a refusal carries "error", a text for the user.
QByteArray Answer(const QByteArray& message);
QByteArray ErrorAnswer(const QString& text);

} // namespace Quillet
