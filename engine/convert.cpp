#include "convert.h"

#include "engineerror.h"
#include "notifier.h"
#include "optionline.h"
#include "streamcopy.h"
#include "transcoder.h"

#include <new>

namespace VarnexEngine {

int ConvertCommand(const char* optionLine, VarnexNotifyFunction notify) {
    Notifier notifier(notify);
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

} // namespace VarnexEngine
