// An engine library for the binding's tests: it records every command and answers from a
// script the test sets. A conversion sends a fixed series of notifications and keeps the
// host's answers.

#include "recordingengine.h"
#include "varnex.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

RecordingScript script{0, VARNEX_INTERFACE_VERSION, 0, 0, 0};
std::vector<RecordedCommand> commands;
std::vector<int> answers;
std::string lastText;
VarnexAllocateFunction allocate = nullptr;
bool customStreams = false;
std::vector<VarnexStreamRecord> probeStreams;

void FillStream(VarnexStreamRecord& record, int type, int32_t first) {
    record.type = type;
    record.values.video.frameRateNumerator = first;
}

// The fixed series of a conversion, keeping the host's answers.
template <typename Notify>
int Convert(const char* optionLine, Notify notify) {
    lastText = optionLine;
    static const char status[] = "00:00:01.000 reached";
    answers.push_back(notify(VARNEX_NOTIFY_BEGIN, 0, 0));
    answers.push_back(notify(VARNEX_NOTIFY_PROGRESS, 1, 5000));
    // The upper half of a is not part of the kind.
    answers.push_back(notify(VARNEX_NOTIFY_PROGRESS, 0x00070002, 2500));
    answers.push_back(notify(VARNEX_NOTIFY_STATUS, 4, reinterpret_cast<intptr_t>(status)));
    answers.push_back(notify(VARNEX_NOTIFY_ASK_STOP, 0, 0));
    answers.push_back(notify(999, 0, 0));
    answers.push_back(notify(VARNEX_NOTIFY_END, 0, 0));
    return script.convertResult;
}

} // namespace

extern "C" {

VARNEX_EXPORT void RecordingReset(const RecordingScript* newScript) {
    script = *newScript;
    commands.clear();
    answers.clear();
    lastText.clear();
    customStreams = false;
    probeStreams.clear();
}

VARNEX_EXPORT void RecordingSetStreams(const VarnexStreamRecord* streams, int count) {
    customStreams = true;
    probeStreams.assign(streams, streams + count);
}

VARNEX_EXPORT int RecordingCount(void) {
    return static_cast<int>(commands.size());
}

VARNEX_EXPORT const RecordedCommand* RecordingAt(int index) {
    return &commands.at(static_cast<size_t>(index));
}

VARNEX_EXPORT const char* RecordingLastText(void) {
    return lastText.c_str();
}

VARNEX_EXPORT const int* RecordingAnswers(int* count) {
    *count = static_cast<int>(answers.size());
    return answers.data();
}

VARNEX_EXPORT int Varnex(int command, void* data, intptr_t arg) {
    uint32_t word0 = 0;
    if (data != nullptr && command != VARNEX_CMD_PROBE && command != VARNEX_CMD_CONVERT)
        std::memcpy(&word0, data, sizeof word0);
    commands.push_back({command, arg, word0});

    switch (command) {
    case VARNEX_CMD_QUERY:
        static_cast<VarnexQueryBlock*>(data)->version = script.queryVersion;
        return script.queryResult;
    case VARNEX_CMD_INIT:
        allocate = static_cast<VarnexInitBlock*>(data)->allocate;
        return script.initResult;
    case VARNEX_CMD_CLOSE:
        return 0;
    case VARNEX_CMD_PROBE: {
        lastText = static_cast<const char*>(data);
        auto* info = reinterpret_cast<VarnexInfoBlock*>(arg);
        if (customStreams) {
            const int count = static_cast<int>(probeStreams.size());
            if (allocate(info, count) != 0)
                return -1;
            info->streamCount = count;
            for (int i = 0; i < count; ++i)
                info->streams[i] = probeStreams[static_cast<size_t>(i)];
            return script.probeResult;
        }
        // Twice, to prove the allocation function frees what it handed out before.
        if (allocate(info, 1) != 0 || allocate(info, 3) != 0)
            return -1;
        info->streamCount = 3;
        FillStream(info->streams[0], VARNEX_STREAM_VIDEO, 11);
        FillStream(info->streams[1], VARNEX_STREAM_AUDIO, 22);
        FillStream(info->streams[2], VARNEX_STREAM_VIDEO, 33);
        return script.probeResult;
    }
    case VARNEX_CMD_CONVERT: {
        auto notify = reinterpret_cast<VarnexNotifyFunction>(arg);
        if (notify == nullptr) {
            lastText = static_cast<const char*>(data);
            return script.convertResult;
        }
        return Convert(static_cast<const char*>(data), notify);
    }
    case VARNEX_CMD_CONVERT_WITH_CONTEXT: {
        const auto* block = static_cast<const VarnexConvertBlock*>(data);
        if (block->notify == nullptr) {
            lastText = block->optionLine;
            return script.convertResult;
        }
        return Convert(block->optionLine, [block](int code, int a, intptr_t b) {
            return block->notify(block->context, code, a, b);
        });
    }
    default:
        return -4;
    }
}
}
