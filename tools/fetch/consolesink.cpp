#include "consolesink.h"

#include "terminaltext.h"

#include <unistd.h>

namespace Tarnwick {

ConsoleSink::ConsoleSink(std::FILE* out, const std::atomic<bool>* stop, bool rewriting)
    : out_(out)
    , interactive_(rewriting && isatty(fileno(out)) != 0)
    , stop_(stop) {}

int ConsoleSink::Status(int kind, const QString& text) {
    if (kind == StatusResult) {
        FinishLine();
        if (!text.isEmpty())
            std::fprintf(out_, "  error: %s\n", qPrintable(TerminalSafe(text)));
    } else if (interactive_ && !text.isEmpty()) {
        std::fprintf(out_, "\r\033[K  %s", qPrintable(TerminalSafe(text)));
        lineOpen_ = true;
    }
    std::fflush(out_);
    return 0;
}

void ConsoleSink::FinishLine() {
    if (lineOpen_) {
        std::fputs("\r\033[K", out_);
        lineOpen_ = false;
    }
}

} // namespace Tarnwick
