#include "chaptermarks.h"

#include "outputfile.h"

#include <algorithm>
#include <string>

namespace VarnexEngine {

namespace {

bool KeepsChapters(const AVOutputFormat* format) {
    const std::string name = format->name;
    return name == "mp4" || name == "mov" || name == "ipod" || name == "matroska" || name == "webm" ||
           name == "mp3";
}

} // namespace

void AddChapterMarks(const ConvertOptions& options, int64_t outputEndUs, OutputFile& output) {
    if (options.chapters.empty() || !KeepsChapters(output.Format()))
        return;
    const auto& chapters = options.chapters;
    for (size_t i = 0; i < chapters.size(); ++i) {
        const bool last = i + 1 == chapters.size();
        int64_t endUs = last ? outputEndUs : chapters[i + 1].startUs - options.startUs;
        if (!last && endUs <= 0)
            continue; // over before the output begins
        const int64_t startUs = std::max<int64_t>(0, chapters[i].startUs - options.startUs);
        if (outputEndUs > 0) {
            if (startUs >= outputEndUs)
                break;
            endUs = std::min(endUs, outputEndUs);
        }
        output.AddChapter(startUs, endUs, chapters[i].title);
    }
}

} // namespace VarnexEngine
