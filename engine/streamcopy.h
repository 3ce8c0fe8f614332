#pragma once

#include "convertoptions.h"
#include "inputfile.h"
#include "notifier.h"
#include "outputfile.h"
#include "progresspacer.h"

#include <memory>
#include <vector>

namespace VarnexEngine {

// A conversion that copies streams as they are ("-vcodec copy", "-acodec copy"): the chosen
// video and audio streams, from one input or two, are put into the output container without
// decoding. It is how a picture and its separately delivered sound become one file, and it
// costs little more than reading and writing the bytes.
//
// Every kept stream is copied: a line that copies one stream and encodes the other, or asks
// for anything that needs decoding (size, rate, bit rate, crop, start time), is refused.
// Failures throw EngineError; the output is removed unless Run completes.
class StreamCopier {
public:
    StreamCopier(const ConvertOptions& options, Notifier& notifier);
    ~StreamCopier();
    StreamCopier(const StreamCopier&) = delete;
    StreamCopier& operator=(const StreamCopier&) = delete;

    void Run();

private:
    // One copied stream: where it comes from, where it goes, and how far it got.
    struct CopiedStream {
        InputFile* input = nullptr;
        int inputIndex = -1;
        int outputIndex = -1;
        int64_t shift = 0; // in the input stream's time base: the input's start becomes 0
        int64_t reachedUs = 0;
        int64_t packets = 0;
    };

    void CheckOptions() const;
    void ChooseAndAddStreams();
    void Copy();
    CopiedStream* StreamOf(const InputFile& input, int index);
    InputFile* NextInput() const;
    bool InputNeeded(const InputFile& input) const;
    void CheckComplete() const;

    const ConvertOptions& options_;
    Notifier& notifier_;
    std::vector<std::unique_ptr<InputFile>> inputs_;
    std::unique_ptr<OutputFile> output_;
    std::vector<CopiedStream> streams_;
    ProgressPacer progress_;
    bool cutShort_ = false; // -t or -fs ended the copy on purpose
};

} // namespace VarnexEngine
