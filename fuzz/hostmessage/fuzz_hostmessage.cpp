// The browser host's reader and answers on any input stream: every frame it reads is answered
// with one JSON object that says "ok", and it never reads past the message limit.
//
// The settings live in an empty folder of the fuzzer's own, so that no "InstallDir" exists and
// a download request can never start a program.

#include "framing.h"
#include "fuzzcheck.h"
#include "request.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

using namespace Quillet;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
    qputenv("HOME", settings.path().toUtf8());
    static QCoreApplication application(*argc, *argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input goes through a pipe, as the browser's does; fuzz inputs stay below its buffer.
    int ends[2];
    if (size > 60000 || pipe(ends) != 0)
        return 0;
    Require(write(ends[1], data, size) == static_cast<ssize_t>(size));
    close(ends[1]);
    for (int frames = 0; frames < 1000; ++frames) {
        const Frame frame = ReadFrame(ends[0]);
        if (frame.kind == Frame::Kind::End || frame.kind == Frame::Kind::Truncated)
            break;
        Require(frame.body.size() <= static_cast<qsizetype>(MaxMessageSize));
        if (frame.kind != Frame::Kind::Message)
            continue;
        const QJsonDocument answer = QJsonDocument::fromJson(Answer(frame.body));
        Require(answer.isObject() && answer.object().contains(QStringLiteral("ok")));
    }
    close(ends[0]);
    return 0;
}
