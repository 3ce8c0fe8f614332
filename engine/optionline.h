#pragma once

#include "convertoptions.h"

#include <string>
#include <vector>

namespace VarnexEngine {

// One blank-separated piece of an option line. A piece written in double quotes may hold
// blanks and is never taken for an option word; inside the quotes \" stands for a double quote
// and \\ for a backslash, and any other backslash for itself.
struct OptionToken {
    std::string text;
    bool quoted = false;
};

// Splits a line at blanks (spaces and tabs), honouring double quotes. Returns false with a
// message in *error when a quote is left open.
bool TokenizeOptionLine(const std::string& line, std::vector<OptionToken>& tokens, std::string* error);

// Parses a whole option line: the word "encoder", then options, the output path, then any
// extra arguments, which are read as further options. Returns false with a message naming
// the offending option when an option is unknown, lacks its argument or has a bad value.
bool ParseOptionLine(const std::string& line, ConvertOptions& options, std::string* error);

// "HH:MM:SS.mmm", "MM:SS", or plain seconds with an optional fraction; false on anything else.
bool ParseTimeText(const std::string& text, int64_t* microseconds);

} // namespace VarnexEngine
