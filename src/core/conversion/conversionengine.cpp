#include "conversionengine.h"

#include "mediainfo.h"
#include "queue/progresssink.h"

#include <QFileInfo>
#include <atomic>
#include <cstring>

namespace Tarnwick {

namespace {

std::atomic<ConversionEngine*> currentEngine{nullptr};

} // namespace

QString EngineLibraryFileName() {
#ifdef Q_OS_WIN
    return QStringLiteral("Varnex1.dll");
#else
    return QStringLiteral("libvarnex1.so");
#endif
}

ConversionEngine::ConversionEngine(ErrorReporter reportError)
    : reportError_(std::move(reportError)) {
    currentEngine = this;
}

ConversionEngine::~ConversionEngine() {
    Close();
    ConversionEngine* self = this;
    currentEngine.compare_exchange_strong(self, nullptr);
}

int ConversionEngine::Call(int command, void* data, intptr_t arg) {
    if (entry_ == nullptr)
        return VARNEX_UNAVAILABLE;
    return entry_(command, data, arg);
}

bool ConversionEngine::Load(const QString& path) {
    entry_ = nullptr;
    library_.Close();
    path_ = path;
    // An empty name would make the system hand back the program itself.
    if (path.isEmpty())
        return false;
    if (!library_.Open(path)) {
        if (reportError_)
            reportError_(library_.ErrorText());
        return false;
    }
    entry_ = reinterpret_cast<VarnexEntryPoint>(library_.Symbol("Varnex"));
    if (entry_ == nullptr) {
        library_.Close();
        return false;
    }
    return true;
}

bool ConversionEngine::Open(const QString& path) {
    if (!Load(path))
        return false;

    VarnexQueryBlock query;
    std::memset(&query, 0, sizeof query);
    query.size = sizeof query;
    // An older engine serves what its version offers; a newer one may mean blocks this host
    // does not know.
    if (Call(VARNEX_CMD_QUERY, &query, 1) != VARNEX_OK || query.version < 1 ||
        query.version > VARNEX_INTERFACE_VERSION) {
        entry_ = nullptr;
        library_.Close();
        return false;
    }
    version_ = static_cast<int>(query.version);

    std::memset(&init_, 0, sizeof init_);
    init_.size = sizeof init_;
    init_.getWindow = &ConversionEngine::CurrentWindow;
    init_.allocate = &MediaInfo::Allocate;
    if (Call(VARNEX_CMD_INIT, &init_, 0) != VARNEX_OK) {
        entry_ = nullptr;
        library_.Close();
        return false;
    }
    return true;
}

void ConversionEngine::Close() {
    if (entry_ != nullptr)
        Call(VARNEX_CMD_CLOSE, nullptr, 0);
    entry_ = nullptr;
    library_.Close();
}

bool ConversionEngine::Reopen() {
    Close();
    return Open(path_);
}

ConversionEngine::Request::Request(ConversionEngine& engine)
    : engine_(engine) {
    std::unique_lock state(engine.stateMutex_);
    // Until it is loaded, the engine's version is not known: the first request holds it alone
    // too, and lets go once the engine says it serves requests side by side.
    if (!engine.ConvertsSideBySide()) {
        state.unlock();
        alone_ = std::unique_lock(engine.oneAtATime_);
        state.lock();
    }
    open_ = engine.inFlight_ > 0 ? engine.IsOpen() : engine.Reopen();
    if (open_)
        ++engine.inFlight_;
    if (engine.ConvertsSideBySide() && alone_.owns_lock())
        alone_.unlock();
}

ConversionEngine::Request::~Request() {
    if (!open_)
        return;
    std::lock_guard state(engine_.stateMutex_);
    --engine_.inFlight_;
    // alone_, when held, goes after this, so that the next request finds nothing in flight.
}

ConversionEngine::ProbeOutcome ConversionEngine::ProbeMedia(const QString& path, MediaInfo& info) {
    const Request request(*this);
    if (!request.IsOpen())
        return ProbeOutcome::EngineUnavailable;
    if (!QFileInfo::exists(path))
        return ProbeOutcome::Unreadable;
    info.Clear();
    const QByteArray utf8Path = path.toUtf8();
    const int result = Call(VARNEX_CMD_PROBE, const_cast<char*>(utf8Path.constData()),
                            reinterpret_cast<intptr_t>(info.Block()));
    if (result == VARNEX_UNAVAILABLE)
        return ProbeOutcome::EngineUnavailable;
    if (result != VARNEX_OK)
        return ProbeOutcome::Unreadable;
    info.SortStreams();
    return ProbeOutcome::Read;
}

int ConversionEngine::Convert(const QString& optionLine, ProgressSink* sink) {
    const Request request(*this);
    if (!request.IsOpen())
        return VARNEX_UNAVAILABLE;
    const QByteArray line = optionLine.toUtf8();
    if (ConvertsSideBySide()) {
        VarnexConvertBlock block;
        std::memset(&block, 0, sizeof block);
        block.size = sizeof block;
        block.optionLine = line.constData();
        block.notify = sink ? &ConversionEngine::NotifySink : nullptr;
        block.context = sink;
        return Call(VARNEX_CMD_CONVERT_WITH_CONTEXT, &block, 0);
    }
    sink_ = sink;
    const intptr_t notify = sink ? reinterpret_cast<intptr_t>(&ConversionEngine::Notify) : 0;
    const int result = Call(VARNEX_CMD_CONVERT, const_cast<char*>(line.constData()), notify);
    sink_ = nullptr;
    return result;
}

int ConversionEngine::Notify(int code, int a, intptr_t b) {
    ConversionEngine* engine = currentEngine.load();
    return NotifySink(engine ? engine->sink_ : nullptr, code, a, b);
}

int ConversionEngine::NotifySink(void* context, int code, int a, intptr_t b) {
    auto* const sink = static_cast<ProgressSink*>(context);
    if (sink == nullptr)
        return 1;
    // The engine's kind travels in the low 16 bits; the upper half is not ours to interpret.
    const int kind = a & 0xFFFF;
    switch (code) {
    case VARNEX_NOTIFY_BEGIN:
        return sink->Begin();
    case VARNEX_NOTIFY_END:
        return sink->End();
    case VARNEX_NOTIFY_PROGRESS:
        return sink->Progress(kind, static_cast<int>(b));
    case VARNEX_NOTIFY_STATUS:
        return sink->Status(kind, b ? QString::fromUtf8(reinterpret_cast<const char*>(b)) : QString());
    case VARNEX_NOTIFY_ASK_STOP:
        return sink->IsCancelled();
    default:
        return 1;
    }
}

void* ConversionEngine::CurrentWindow() {
    ConversionEngine* engine = currentEngine.load();
    return engine && engine->windowProvider_ ? engine->windowProvider_() : nullptr;
}

} // namespace Tarnwick
