#pragma once

#include "audiopipeline.h"
#include "convertoptions.h"
#include "inputfile.h"
#include "notifier.h"
#include "outputfile.h"
#include "progresspacer.h"
#include "videopipeline.h"

#include <memory>
#include <vector>

namespace VarnexEngine {

// One conversion: opens the inputs, chooses their streams, builds a pipeline for the video
// and one for the audio, then reads, converts and writes until the inputs end, the duration
// or size limit is reached, or the host asks to stop. Every failure throws EngineError; the
// output is removed unless Run completes.
class Transcoder {
public:
    Transcoder(const ConvertOptions& options, Notifier& notifier);
    ~Transcoder();
    Transcoder(const Transcoder&) = delete;
    Transcoder& operator=(const Transcoder&) = delete;

    void Run();

private:
    void OpenInputs();
    void BuildPipelines();
    void DiscardUnusedStreams();
    InputFile* NextInput() const;
    bool InputNeeded(const InputFile& input) const;
    bool AllDone() const;
    void Dispatch(const InputFile& input, const AVPacket* packet);
    void CheckComplete() const;
    void RequireReached(const InputFile& input, int64_t reachedUs, int64_t statedUs) const;
    int64_t TotalMs() const;

    const ConvertOptions& options_;
    Notifier& notifier_;
    // Declared before the pipelines, which refer to them, so that they are destroyed after.
    std::vector<std::unique_ptr<InputFile>> inputs_;
    std::unique_ptr<OutputFile> output_;
    std::unique_ptr<VideoPipeline> video_;
    std::unique_ptr<AudioPipeline> audio_;
    ProgressPacer progress_;
    bool sizeLimitReached_ = false;
};

} // namespace VarnexEngine
