#include "inputfile.h"

#include "engineerror.h"

namespace VarnexEngine {

namespace {
constexpr AVRational kMicroseconds{1, AV_TIME_BASE};
}

InputFile::InputFile(const InputOption& option, int64_t startUs)
    : path_(option.path)
    , offsetUs_(option.offsetUs) {
    int result = avformat_open_input(&context_, path_.c_str(), nullptr, nullptr);
    if (result < 0)
        throw EngineError(DescribeFailure("Cannot open the input \"" + path_ + "\"", result));
    // The destructor does not run for a constructor that throws: close here on the way out.
    auto fail = [this](const std::string& what, int code) {
        const std::string text = DescribeFailure(what, code);
        avformat_close_input(&context_);
        throw EngineError(text);
    };
    result = avformat_find_stream_info(context_, nullptr);
    if (result < 0)
        fail("Cannot read the streams of \"" + path_ + "\"", result);

    const int64_t origin = context_->start_time != AV_NOPTS_VALUE ? context_->start_time : 0;
    shiftUs_ = offsetUs_ - origin - startUs;
    if (startUs > 0) {
        // Land on the key frame at or before the start; frames before it are decoded and dropped.
        const int64_t target = origin + startUs;
        result = avformat_seek_file(context_, -1, INT64_MIN, target, target, 0);
        if (result < 0)
            fail("Cannot seek in \"" + path_ + "\" to the start time", result);
    }
}

InputFile::~InputFile() {
    avformat_close_input(&context_);
}

int64_t InputFile::OutputTimeUs(int64_t timestamp, AVRational timeBase) const {
    return av_rescale_q(timestamp, timeBase, kMicroseconds) + shiftUs_;
}

bool InputFile::Read(AVPacket* packet) {
    if (atEnd_)
        return false;
    const int result = av_read_frame(context_, packet);
    if (result == AVERROR_EOF) {
        atEnd_ = true;
        return false;
    }
    if (result < 0) {
        atEnd_ = true;
        throw EngineError(DescribeFailure("Reading \"" + path_ + "\" failed", result));
    }
    const int64_t stamp = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    if (stamp != AV_NOPTS_VALUE)
        lastReadUs_ = OutputTimeUs(stamp, context_->streams[packet->stream_index]->time_base);
    return true;
}

int64_t InputFile::StatedDurationUs() const {
    if (context_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
        return 0;
    return DurationUs();
}

int64_t InputFile::DurationUs() const {
    return context_->duration > 0 ? context_->duration : 0;
}

InputFile* NextInputInStep(const std::vector<std::unique_ptr<InputFile>>& inputs,
                           const std::function<bool(const InputFile&)>& needed) {
    InputFile* next = nullptr;
    for (const auto& input : inputs) {
        if (input->AtEnd() || !needed(*input))
            continue;
        if (next == nullptr || input->LastReadUs() < next->LastReadUs())
            next = input.get();
    }
    return next;
}

} // namespace VarnexEngine
