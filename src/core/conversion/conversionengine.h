#pragma once

#include "dynamiclibrary.h"
#include "varnex.h"

#include <QString>
#include <functional>

namespace Tarnwick {

class MediaInfo;
class ProgressSink;

// The binding to the conversion engine library. There is one per process: the engine's
// notifications carry no context, so they reach the current sink through a process-wide
// reference to the engine object that was constructed last.
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
    void SetWindowProvider(WindowProvider provider) { windowProvider_ = provider; }

    // The engine's notification function (see varnex.h).
    static int Notify(int code, int a, intptr_t b);

private:
    int Call(int command, void* data, intptr_t arg);
    bool Reopen();
    static void* CurrentWindow();

    ErrorReporter reportError_;
    WindowProvider windowProvider_ = nullptr;
    DynamicLibrary library_;
    VarnexEntryPoint entry_ = nullptr;
    VarnexInitBlock init_{};
    QString path_;
    int version_ = 0;
    ProgressSink* sink_ = nullptr;
};

// The library file name on this platform.
QString EngineLibraryFileName();

} // namespace Tarnwick
