#include "optionline.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>

namespace VarnexEngine {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool ParseInt64(const std::string& text, int64_t* value) {
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0')
        return false;
    *value = parsed;
    return true;
}

bool ParseInt(const std::string& text, int* value) {
    int64_t wide = 0;
    if (!ParseInt64(text, &wide) || wide < INT_MIN || wide > INT_MAX)
        return false;
    *value = static_cast<int>(wide);
    return true;
}

// Two integers joined by a separator: "176x144", "15/1", "0:1".
bool ParseIntPair(const std::string& text, char separator, int* first, int* second) {
    const size_t at = text.find(separator);
    if (at == std::string::npos)
        return false;
    return ParseInt(text.substr(0, at), first) && ParseInt(text.substr(at + 1), second);
}

bool ParseNonNegativeDecimal(const std::string& text, double* value) {
    if (text.empty() || !(text[0] >= '0' && text[0] <= '9'))
        return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0';
}

// More subtitle streams than any player offers to choose from would only be a mistake.
constexpr size_t kMostSubtitles = 32;

// A video of more chapters than this has a list of marks, not chapters.
constexpr size_t kMostChapters = 1000;

// Two or three letters, as ISO 639 codes are written.
bool IsLanguageCode(const std::string& text) {
    if (text.size() < 2 || text.size() > 3)
        return false;
    for (char c : text) {
        if (c < 'a' || c > 'z')
            return false;
    }
    return true;
}

enum class ArgumentKind { None, Text, Words, Time, Integer, Integer64, Size, Rate, Map };

struct ParseState {
    ConvertOptions& options;
    int64_t pendingOffsetUs = 0;
};

struct OptionEntry {
    const char* word;
    ArgumentKind kind;
    // Stores the parsed argument; false when the value is out of range for the option.
    std::function<bool(ParseState&, const std::string& text, int64_t number, int first, int second)> apply;
};

bool Positive(int64_t value) {
    return value > 0;
}

const std::vector<OptionEntry>& OptionTable() {
    using K = ArgumentKind;
    auto metadata = [](const char* key) {
        return [key](ParseState& s, const std::string& text, int64_t, int, int) {
            s.options.metadata.emplace_back(key, text);
            return true;
        };
    };
    auto crop = [](int ConvertOptions::*field) {
        return [field](ParseState& s, const std::string&, int64_t n, int, int) {
            if (n < 0 || n > 16384)
                return false;
            s.options.*field = static_cast<int>(n);
            return true;
        };
    };
    static const std::vector<OptionEntry> table = {
        {"-i", K::Text,
         [](ParseState& s, const std::string& text, int64_t, int, int) {
             if (text.empty())
                 return false;
             s.options.inputs.push_back({text, s.pendingOffsetUs});
             s.pendingOffsetUs = 0;
             return true;
         }},
        {"-itsoffset", K::Time,
         [](ParseState& s, const std::string&, int64_t us, int, int) {
             return s.pendingOffsetUs = us, true;
         }},
        {"-map", K::Map,
         [](ParseState& s, const std::string&, int64_t, int file, int stream) {
             if (file < 0)
                 return false;
             s.options.maps.push_back({file, stream});
             return true;
         }},
        {"-ss", K::Time,
         [](ParseState& s, const std::string&, int64_t us, int, int) {
             return s.options.startUs = us, true;
         }},
        {"-t", K::Time,
         [](ParseState& s, const std::string&, int64_t us, int, int) {
             s.options.durationUs = us;
             return us > 0;
         }},
        {"-fs", K::Integer64,
         [](ParseState& s, const std::string&, int64_t n, int, int) {
             s.options.sizeLimit = n;
             return Positive(n);
         }},
        {"-cropleft", K::Integer, crop(&ConvertOptions::cropLeft)},
        {"-croptop", K::Integer, crop(&ConvertOptions::cropTop)},
        {"-cropright", K::Integer, crop(&ConvertOptions::cropRight)},
        {"-cropbottom", K::Integer, crop(&ConvertOptions::cropBottom)},
        {"-title", K::Words, metadata("title")},
        {"-author", K::Words, metadata("artist")},
        {"-copyright", K::Words, metadata("copyright")},
        {"-comment", K::Words, metadata("comment")},
        {"-album", K::Words, metadata("album")},
        {"-description", K::Words, metadata("description")},
        {"-year", K::Integer,
         [](ParseState& s, const std::string& text, int64_t n, int, int) {
             s.options.metadata.emplace_back("date", text);
             return n >= 0;
         }},
        {"-track", K::Integer,
         [](ParseState& s, const std::string& text, int64_t, int, int) {
             s.options.metadata.emplace_back("track", text);
             return true;
         }},
        {"-subtitle", K::Text,
         [](ParseState& s, const std::string& text, int64_t, int, int) {
             if (text.empty() || s.options.subtitles.size() >= kMostSubtitles)
                 return false;
             s.options.subtitles.push_back({text, {}, {}});
             return true;
         }},
        // The language and title belong to the subtitle named last.
        {"-sublang", K::Text,
         [](ParseState& s, const std::string& text, int64_t, int, int) {
             if (s.options.subtitles.empty() || !IsLanguageCode(text))
                 return false;
             s.options.subtitles.back().language = text;
             return true;
         }},
        {"-subtitle_title", K::Text,
         [](ParseState& s, const std::string& text, int64_t, int, int) {
             if (s.options.subtitles.empty())
                 return false;
             s.options.subtitles.back().title = text;
             return true;
         }},
        {"-cover", K::Text,
         [](ParseState& s, const std::string& text, int64_t, int, int) {
             s.options.coverPath = text;
             return !text.empty();
         }},
        // Chapters come in the order of their starts, so that each ends where the next begins.
        {"-chapter", K::Time,
         [](ParseState& s, const std::string&, int64_t us, int, int) {
             auto& chapters = s.options.chapters;
             if (us < 0 || chapters.size() >= kMostChapters ||
                 (!chapters.empty() && us <= chapters.back().startUs))
                 return false;
             chapters.push_back({us, {}});
             return true;
         }},
        {"-chapter_title", K::Text,
         [](ParseState& s, const std::string& text, int64_t, int, int) {
             if (s.options.chapters.empty())
                 return false;
             s.options.chapters.back().title = text;
             return true;
         }},
        {"-f", K::Text,
         [](ParseState& s, const std::string& text, int64_t, int, int) {
             s.options.format = text;
             return !text.empty();
         }},
        {"-vn", K::None,
         [](ParseState& s, const std::string&, int64_t, int, int) {
             return s.options.disableVideo = true;
         }},
        {"-pix_fmt", K::Text,
         [](ParseState& s, const std::string& text, int64_t, int, int) {
             s.options.pixelFormat = text;
             return !text.empty();
         }},
        {"-vcodec", K::Text,
         [](ParseState& s, const std::string& text, int64_t, int, int) {
             s.options.videoCodec = text;
             return !text.empty();
         }},
        {"-s", K::Size,
         [](ParseState& s, const std::string&, int64_t, int w, int h) {
             s.options.width = w;
             s.options.height = h;
             return w > 0 && h > 0 && w <= 16384 && h <= 16384;
         }},
        {"-r", K::Rate,
         [](ParseState& s, const std::string&, int64_t, int num, int den) {
             s.options.frameRateNum = num;
             s.options.frameRateDen = den;
             return num > 0 && den > 0;
         }},
        {"-b", K::Integer64,
         [](ParseState& s, const std::string&, int64_t n, int, int) {
             s.options.videoBitRate = n;
             return Positive(n);
         }},
        {"-an", K::None,
         [](ParseState& s, const std::string&, int64_t, int, int) {
             return s.options.disableAudio = true;
         }},
        {"-acodec", K::Text,
         [](ParseState& s, const std::string& text, int64_t, int, int) {
             s.options.audioCodec = text;
             return !text.empty();
         }},
        {"-ac", K::Integer,
         [](ParseState& s, const std::string&, int64_t n, int, int) {
             s.options.channels = static_cast<int>(n);
             return n > 0 && n <= 8;
         }},
        {"-ar", K::Integer,
         [](ParseState& s, const std::string&, int64_t n, int, int) {
             s.options.sampleRate = static_cast<int>(n);
             return n > 0 && n <= 384000;
         }},
        {"-ab", K::Integer64,
         [](ParseState& s, const std::string&, int64_t n, int, int) {
             s.options.audioBitRate = n;
             return Positive(n);
         }},
        {"-y", K::None,
         [](ParseState& s, const std::string&, int64_t, int, int) {
             return s.options.overwrite = true;
         }},
    };
    return table;
}

const OptionEntry* FindOption(const std::string& word) {
    for (const OptionEntry& entry : OptionTable()) {
        if (word == entry.word)
            return &entry;
    }
    return nullptr;
}

bool IsOptionWord(const OptionToken& token) {
    return !token.quoted && FindOption(token.text) != nullptr;
}

// Converts the argument text for its kind; false when it is not a number of that kind.
bool ConvertArgument(ArgumentKind kind, const std::string& text, int64_t* number, int* first, int* second) {
    switch (kind) {
    case ArgumentKind::None:
    case ArgumentKind::Text:
    case ArgumentKind::Words:
        return true;
    case ArgumentKind::Time:
        return ParseTimeText(text, number);
    case ArgumentKind::Integer: {
        int value = 0;
        if (!ParseInt(text, &value))
            return false;
        *number = value;
        return true;
    }
    case ArgumentKind::Integer64:
        return ParseInt64(text, number);
    case ArgumentKind::Size:
        return ParseIntPair(text, 'x', first, second);
    case ArgumentKind::Rate:
        // A whole number means frames per second over 1.
        if (text.find('/') == std::string::npos) {
            *second = 1;
            return ParseInt(text, first);
        }
        return ParseIntPair(text, '/', first, second);
    case ArgumentKind::Map: {
        // "file:v" and "file:a" name the file's first video or audio stream.
        const size_t colon = text.find(':');
        if (colon != std::string::npos && colon + 2 == text.size() &&
            (text.back() == 'v' || text.back() == 'a')) {
            *second = text.back() == 'v' ? StreamMap::kFirstVideo : StreamMap::kFirstAudio;
            return ParseInt(text.substr(0, colon), first);
        }
        return ParseIntPair(text, ':', first, second) && *second >= 0;
    }
    }
    return false;
}

} // namespace

bool TokenizeOptionLine(const std::string& line, std::vector<OptionToken>& tokens, std::string* error) {
    tokens.clear();
    size_t at = 0;
    while (at < line.size()) {
        if (IsBlank(line[at])) {
            ++at;
            continue;
        }
        OptionToken token;
        bool inQuotes = false;
        for (; at < line.size() && (inQuotes || !IsBlank(line[at])); ++at) {
            // Inside quotes \" is a quote and \\ a backslash; a backslash before anything
            // else is itself, as in every line written before these escapes.
            const bool escape = inQuotes && line[at] == '\\' && at + 1 < line.size() &&
                                (line[at + 1] == '"' || line[at + 1] == '\\');
            if (escape) {
                token.text += line[++at];
            } else if (line[at] == '"') {
                inQuotes = !inQuotes;
                token.quoted = true;
            } else {
                token.text += line[at];
            }
        }
        if (inQuotes) {
            *error = "The option line has an unterminated quote.";
            return false;
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

bool ParseTimeText(const std::string& text, int64_t* microseconds) {
    // Up to three colon-separated fields; the last may carry a fraction.
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t colon; (colon = text.find(':', start)) != std::string::npos; start = colon + 1)
        fields.push_back(text.substr(start, colon - start));
    fields.push_back(text.substr(start));
    if (fields.size() > 3)
        return false;
    double seconds = 0;
    if (!ParseNonNegativeDecimal(fields.back(), &seconds))
        return false;
    int64_t whole = 0;
    for (size_t i = 0; i + 1 < fields.size(); ++i) {
        int64_t value = 0;
        if (!ParseInt64(fields[i], &value) || value < 0 || value > 1000000)
            return false;
        whole = whole * 60 + value;
    }
    // Minutes and seconds fields of a clock time stay below 60.
    if (fields.size() > 1 && seconds >= 60)
        return false;
    const double total = double(whole) * 60 + seconds;
    if (total > 1e9)
        return false;
    *microseconds = static_cast<int64_t>(total * 1e6 + 0.5);
    return true;
}

bool ParseOptionLine(const std::string& line, ConvertOptions& options, std::string* error) {
    std::vector<OptionToken> tokens;
    if (!TokenizeOptionLine(line, tokens, error))
        return false;
    if (tokens.empty() || tokens.front().quoted || tokens.front().text != "encoder") {
        *error = "The option line does not begin with the word \"encoder\".";
        return false;
    }
    options = ConvertOptions{};
    ParseState state{options};
    for (size_t i = 1; i < tokens.size(); ++i) {
        const OptionToken& token = tokens[i];
        const OptionEntry* entry = token.quoted ? nullptr : FindOption(token.text);
        if (entry == nullptr) {
            if (!token.quoted && token.text.size() > 1 && token.text[0] == '-') {
                *error = "Unknown option \"" + token.text + "\".";
                return false;
            }
            // The one bare argument is the output; extra arguments after it are further options.
            if (!options.output.empty()) {
                *error =
                    "Unexpected argument \"" + token.text + "\" after the output \"" + options.output + "\".";
                return false;
            }
            if (token.text.empty()) {
                *error = "The output path is empty.";
                return false;
            }
            options.output = token.text;
            continue;
        }
        if (std::string(entry->word) == "-i" && options.inputs.size() >= 2) {
            *error = "At most two inputs (-i) are allowed.";
            return false;
        }
        std::string argument;
        if (entry->kind != ArgumentKind::None) {
            if (i + 1 >= tokens.size() || IsOptionWord(tokens[i + 1])) {
                *error = std::string("The option ") + entry->word + " needs an argument.";
                return false;
            }
            argument = tokens[++i].text;
            // Metadata texts come unquoted and may hold blanks: the words run to the next
            // option word or quoted piece.
            if (entry->kind == ArgumentKind::Words) {
                while (i + 1 < tokens.size() && !tokens[i + 1].quoted && !IsOptionWord(tokens[i + 1]))
                    argument += " " + tokens[++i].text;
            }
        }
        int64_t number = 0;
        int first = 0;
        int second = 0;
        if (!ConvertArgument(entry->kind, argument, &number, &first, &second) ||
            !entry->apply(state, argument, number, first, second)) {
            *error = std::string("The option ") + entry->word + " has a bad value \"" + argument + "\".";
            return false;
        }
    }
    if (options.inputs.empty()) {
        *error = "The option line names no input (-i).";
        return false;
    }
    if (options.output.empty()) {
        *error = "The option line names no output file.";
        return false;
    }
    if (state.pendingOffsetUs != 0) {
        *error = "The option -itsoffset is not followed by an input.";
        return false;
    }
    if (options.disableAudio && options.disableVideo) {
        *error = "Both audio and video are disabled (-an, -vn): there is nothing to convert.";
        return false;
    }
    return true;
}

} // namespace VarnexEngine
