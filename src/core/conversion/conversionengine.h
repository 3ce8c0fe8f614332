#pragma once

#include "dynamiclibrary.h"
#include "varnex.h"

#include <QString>
#include <atomic>
#include <functional>
#include <mutex>

namespace Tarnwick {

class MediaInfo;
class ProgressSink;

// The binding to the conversion engine library. There is one per process: an engine older
// than interface version 4 notifies without context, so its notifications reach the current
// sink through a process-wide reference to the engine object that was constructed last.
//
// Probe and Convert may be called from several threads at once. An engine of version 4 serves
// them side by side; an older one gets them one after another. The engine is reloaded before
// a request only when no other is in flight, so that nothing of an earlier request survives
// without pulling the library from under one that runs.
class ConversionEngine {
public:
    // Shows the text of a library that cannot be loaded; the binding itself has no window.
    using ErrorReporter = std::function<void(const QString& text)>;
    // Answers the main window's native handle for the engine, or null.
    using WindowProvider = void* (*)();

    explicit ConversionEngine(ErrorReporter reportError = {});
    ~ConversionEngine();
    ConversionEngine(const ConversionEngine&) = delete;
    ConversionEngine& operator=(const ConversionEngine&) = delete;

    // Unloads, loads the library and finds its entry point. Keeps the path for reloads.
    bool Load(const QString& path);
    // Load, then the version handshake (101) and initialisation (102); any failure unloads.
    bool Open(const QString& path);
    // Shuts the engine down (103) and unloads it.
    void Close();
    bool IsOpen() const { return entry_ != nullptr; }

    // Probes the file into info, streams sorted audio first. The engine is reloaded first, so
    // that a fault left behind by an earlier request cannot leak into this one.
    bool Probe(const QString& path, MediaInfo& info) { return ProbeMedia(path, info) == ProbeOutcome::Read; }
    // The same, telling a file the engine cannot read from an engine that cannot serve at all
    // (for example one whose media libraries are missing).
    enum class ProbeOutcome { Read, Unreadable, EngineUnavailable };
    ProbeOutcome ProbeMedia(const QString& path, MediaInfo& info);
    // Runs a conversion with the option line; returns the engine's result (0 success, -1 when
    // no engine can be loaded). The sink receives the engine's notifications.
    int Convert(const QString& optionLine, ProgressSink* sink);

    const QString& LibraryPath() const { return path_; }
    // Whether the loaded engine carries text subtitles into its output (interface version 2).
    bool TakesSubtitles() const { return version_ >= VARNEX_INTERFACE_VERSION_SUBTITLES; }
    bool TakesChapters() const { return version_ >= VARNEX_INTERFACE_VERSION_CHAPTERS; }
    bool TakesCovers() const { return version_ >= VARNEX_INTERFACE_VERSION_COVERS; }
    // Whether the loaded engine converts side by side (interface version 4).
    bool ConvertsSideBySide() const { return version_ >= VARNEX_INTERFACE_VERSION_SIDE_BY_SIDE; }
    void SetWindowProvider(WindowProvider provider) { windowProvider_ = provider; }

    // The engine's notification functions (see varnex.h): without context, for engines before
    // version 4, and with the sink as the context.
    static int Notify(int code, int a, intptr_t b);
    static int NotifySink(void* sink, int code, int a, intptr_t b);

private:
    // One request's hold on the engine: reloads it when nothing else is in flight, and for an
    // engine that serves one request at a time, waits for the one in flight.
    class Request {
    public:
        explicit Request(ConversionEngine& engine);
        ~Request();
        Request(const Request&) = delete;
        Request& operator=(const Request&) = delete;
        bool IsOpen() const { return open_; }

    private:
        ConversionEngine& engine_;
        std::unique_lock<std::mutex> alone_;
        bool open_ = false;
    };

    int Call(int command, void* data, intptr_t arg);
    bool Reopen();
    static void* CurrentWindow();

    ErrorReporter reportError_;
    WindowProvider windowProvider_ = nullptr;
    DynamicLibrary library_;
    VarnexEntryPoint entry_ = nullptr;
    VarnexInitBlock init_{};
    QString path_;
    std::atomic<int> version_{0}; // read by jobs outside a request
    ProgressSink* sink_ = nullptr;
    std::mutex stateMutex_; // the library, its version and inFlight_
    std::mutex oneAtATime_; // held through a request to an engine before version 4
    int inFlight_ = 0;
};

// The library file name on this platform.
QString EngineLibraryFileName();

} // namespace Tarnwick
