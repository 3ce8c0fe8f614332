#include "streammap.h"

#include "engineerror.h"

namespace VarnexEngine {

namespace {

std::string MapText(const StreamMap& map) {
    std::string stream = map.stream == StreamMap::kFirstVideo   ? "v"
                         : map.stream == StreamMap::kFirstAudio ? "a"
                                                                : std::to_string(map.stream);
    return "-map " + std::to_string(map.file) + ":" + stream;
}

// The stream index the map names in its file, or -1 when the file has no such stream.
int MappedIndex(const InputFile& input, const StreamMap& map) {
    if (map.stream >= 0)
        return map.stream < input.StreamCount() ? map.stream : -1;
    for (int i = 0; i < input.StreamCount(); ++i) {
        const AVStream* stream = input.Stream(i);
        if (map.stream == StreamMap::kFirstVideo ? IsVideoStream(stream) : IsAudioStream(stream))
            return i;
    }
    return -1;
}

} // namespace

bool IsVideoStream(const AVStream* stream) {
    return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

bool IsAudioStream(const AVStream* stream) {
    return stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
}

void ChooseStreams(const std::vector<std::unique_ptr<InputFile>>& inputs, const std::vector<StreamMap>& maps,
                   StreamChoice* video, StreamChoice* audio) {
    if (!maps.empty()) {
        for (const StreamMap& map : maps) {
            const int index =
                map.file < static_cast<int>(inputs.size()) ? MappedIndex(*inputs[map.file], map) : -1;
            if (index < 0)
                throw EngineError("The option " + MapText(map) + " names a stream that does not exist.");
            InputFile* input = inputs[map.file].get();
            const AVStream* stream = input->Stream(index);
            StreamChoice* choice = IsVideoStream(stream) ? video : IsAudioStream(stream) ? audio : nullptr;
            if (choice == nullptr)
                throw EngineError("The option " + MapText(map) +
                                  " names a stream that is neither video nor audio.");
            if (choice->input == nullptr)
                *choice = StreamChoice{input, index};
        }
        return;
    }
    for (const auto& input : inputs) {
        for (int i = 0; i < input->StreamCount(); ++i) {
            if (video->input == nullptr && IsVideoStream(input->Stream(i)))
                *video = StreamChoice{input.get(), i};
            if (audio->input == nullptr && IsAudioStream(input->Stream(i)))
                *audio = StreamChoice{input.get(), i};
        }
    }
}

} // namespace VarnexEngine
