#pragma once

#include "commandline.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace Tarnwick {

// What a second start of the program hands to the window that already runs for the same
// settings: its addresses and folder, and the cookies that came with them, as one line.
QByteArray EncodeHandOff(const CommandLineArgs& args);
// The hand-off a line holds; empty when it is not one (another program, a later version's
// shape this one cannot read, or a cut line).
std::optional<CommandLineArgs> DecodeHandOff(const QByteArray& line);

// The answer of the running window once it holds the hand-off.
inline constexpr char HandOffTaken[] = "taken\n";

// The local socket this user's window listens on for these settings: in the user's runtime
// folder, named by the settings folder, so that two profiles each keep a window of their own.
QString WindowSocketName();

// The folder as the running window must read it: the second start's working folder is not
// the window's, so a relative folder is made absolute here.
CommandLineArgs WithAbsoluteFolder(CommandLineArgs args);

} // namespace Tarnwick
