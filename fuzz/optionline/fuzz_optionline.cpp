// The engine's option-line parser on any line, and the job's quoting of paths: whatever a path
// holds, the engine reads back exactly the path the job wrote.

#include "conversion/conversionparams.h"
#include "fuzzcheck.h"
#include "optionline.h"

#include <cstdint>
#include <cstdlib>

using namespace VarnexEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    ConvertOptions options;
    std::string error;
    if (!ParseOptionLine(line, options, &error))
        Require(!error.empty());

    // The same bytes as two paths, split at the first zero byte.
    const size_t split = line.find('\0');
    const QString input = QString::fromUtf8(line.substr(0, split));
    const QString output = split == std::string::npos ? input : QString::fromUtf8(line.substr(split + 1));
    if (input.isEmpty() || output.isEmpty() || input.contains(QChar(0)) || output.contains(QChar(0)))
        return 0;
    Tarnwick::ConversionParams params;
    params.input = input;
    params.output = output;
    const std::string written = Tarnwick::BuildCommandLine(params).toStdString();
    Require(ParseOptionLine(written, options, &error));
    Require(options.inputs.size() == 1 && options.inputs[0].path == input.toStdString());
    Require(options.output == output.toStdString());
    return 0;
}
