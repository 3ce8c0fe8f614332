#pragma once

#include "convertoptions.h"
#include "inputfile.h"

#include <memory>
#include <string>
#include <vector>

namespace VarnexEngine {

// Cover art travels as a video stream of one picture; it is no video to convert or copy.
bool IsVideoStream(const AVStream* stream);
bool IsAudioStream(const AVStream* stream);

// A stream of one of the opened inputs.
struct StreamChoice {
    InputFile* input = nullptr;
    int stream = -1;
};

// The video and audio streams that the option line's -map options name, or when it has none,
// the first of each kind in input order. A map that names no stream of these inputs, or one
// that is neither video nor audio, throws EngineError naming the option.
void ChooseStreams(const std::vector<std::unique_ptr<InputFile>>& inputs, const std::vector<StreamMap>& maps,
                   StreamChoice* video, StreamChoice* audio);

} // namespace VarnexEngine
