#pragma once

#include "recordingengine.h"

#include <QList>
#include <QString>
#include <dlfcn.h>
#include <vector>

// The test's own handle on the recording engine: holding a reference keeps its record alive
// across the binding's reloads, and the exported functions drive it.
class RecordingControl {
public:
    bool Load(const char* path) {
        library_ = dlopen(path, RTLD_NOW);
        if (library_ == nullptr)
            return false;
        reset_ = reinterpret_cast<RecordingResetFunction>(dlsym(library_, "RecordingReset"));
        count_ = reinterpret_cast<RecordingCountFunction>(dlsym(library_, "RecordingCount"));
        at_ = reinterpret_cast<RecordingAtFunction>(dlsym(library_, "RecordingAt"));
        lastText_ = reinterpret_cast<RecordingTextFunction>(dlsym(library_, "RecordingLastText"));
        setStreams_ = reinterpret_cast<RecordingSetStreamsFunction>(dlsym(library_, "RecordingSetStreams"));
        return reset_ && count_ && at_ && lastText_ && setStreams_;
    }
    ~RecordingControl() {
        if (library_ != nullptr)
            dlclose(library_);
    }

    void Reset(int convertResult = 0, int probeResult = 0) {
        const RecordingScript script{0, VARNEX_INTERFACE_VERSION, 0, probeResult, convertResult};
        reset_(&script);
    }
    void SetStreams(const std::vector<VarnexStreamRecord>& streams) {
        setStreams_(streams.data(), static_cast<int>(streams.size()));
    }
    QList<int> Commands() const {
        QList<int> commands;
        for (int i = 0; i < count_(); ++i)
            commands << at_(i)->command;
        return commands;
    }
    QString LastText() const { return QString::fromUtf8(lastText_()); }

    static VarnexStreamRecord Video(int num, int den, int bitRate, int width, int height) {
        VarnexStreamRecord record{};
        record.type = VARNEX_STREAM_VIDEO;
        record.values.video = {num, den, bitRate, width, height};
        return record;
    }
    static VarnexStreamRecord Audio(int sampleRate, int bitRate, int channels) {
        VarnexStreamRecord record{};
        record.type = VARNEX_STREAM_AUDIO;
        record.values.audio = {sampleRate, bitRate, channels};
        return record;
    }

private:
    void* library_ = nullptr;
    RecordingResetFunction reset_ = nullptr;
    RecordingCountFunction count_ = nullptr;
    RecordingAtFunction at_ = nullptr;
    RecordingTextFunction lastText_ = nullptr;
    RecordingSetStreamsFunction setStreams_ = nullptr;
};
