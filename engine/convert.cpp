#include "convert.h"

#include "engineerror.h"
#include "notifier.h"
#include "optionline.h"
#include "streamcopy.h"
#include "transcoder.h"

#include <new>

namespace VarnexEngine {

namespace {

int Convert(const char* optionLine, Notifier& notifier) {
    notifier.Begin();
    LogCapture capture;
    std::string failure;
    try {
        ConvertOptions options;
        std::string error;
        if (optionLine == nullptr)
            throw EngineError("No option line was given.");
        if (!ParseOptionLine(optionLine, options, &error))
            throw EngineError(error);
        // The transcoder (or copier) goes out of scope, removing a partial output, before the failure
        // is reported, so the host never sees an error while the file is still there.
        if (options.CopiesStreams()) {
            StreamCopier copier(options, notifier);
            copier.Run();
        } else {
            Transcoder transcoder(options, notifier);
            transcoder.Run();
        }
    } catch (const EngineError& error) {
        failure = error.what();
    } catch (const std::bad_alloc&) {
        failure = "Out of memory.";
    } catch (const std::exception& error) {
        failure = std::string("The conversion failed: ") + error.what();
    } catch (...) {
        failure = "The conversion failed.";
    }
    notifier.Error(failure); // an empty result text means success
    notifier.End();
    return failure.empty() ? VARNEX_OK : VARNEX_FAILED;
}

} // namespace

int ConvertCommand(const char* optionLine, VarnexNotifyFunction notify) {
    Notifier notifier(notify);
    return Convert(optionLine, notifier);
}

int ConvertCommand(const VarnexConvertBlock* block) {
    // A host built against a shorter block would hand us fewer slots than we read.
    if (block == nullptr || block->size < sizeof(VarnexConvertBlock))
        return VARNEX_BAD_ARGUMENT;
    Notifier notifier(block->notify, block->context);
    return Convert(block->optionLine, notifier);
}

} // namespace VarnexEngine
