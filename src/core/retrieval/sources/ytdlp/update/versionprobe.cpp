#include "versionprobe.h"

#include "programrun.h"
#include "retrieval/sources/ytdlp/ytdlpversion.h"

namespace Tarnwick {

namespace {

// The standalone builds unpack themselves on their first run, which takes a few seconds on a
// slow disk.
constexpr int VersionTimeoutSeconds = 60;

} // namespace

VersionProbe ProbeYtDlpVersion(const QString& program, const std::function<bool()>& stopRequested) {
    VersionProbe probe;
    const ProgramRun run =
        RunProgram(program, {QStringLiteral("--version")}, VersionTimeoutSeconds, stopRequested);
    probe.stopped = run.stopped;
    if (!run.Succeeded()) {
        probe.failure = run.FailureText(VersionTimeoutSeconds);
        return probe;
    }
    const QString firstLine = QString::fromUtf8(run.output).section(QLatin1Char('\n'), 0, 0).trimmed();
    if (!YtDlpVersion::Parse(firstLine)) {
        probe.failure = QStringLiteral("printed no version (\"%1\")").arg(firstLine.left(60));
        return probe;
    }
    probe.version = firstLine;
    return probe;
}

} // namespace Tarnwick
