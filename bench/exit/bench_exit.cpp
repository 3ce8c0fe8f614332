// bench_exit [rounds]: how long the program takes to end on SIGTERM (a logout, a shutdown) once
// it runs idle with nothing to save, against a trivial Qt Widgets dialog ended the same way, in
// rounds that alternate which goes first. The time runs from the signal to the process's end.
// Prints the program's median, min and max in milliseconds (goal: a median under 30 ms), the
// median of the per-round ratios to the dialog, and whether any round wrote the settings file
// or Presets.xml (goal: none).

#include "benchsupport.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QVBoxLayout>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

// Time enough for either program to have shown its window and set up its signal handling.
constexpr int SettleMs = 1500;

int ShowTrivialDialog(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("A trivial dialog.")));
    dialog.show();
    return dialog.exec();
}

// Inode and change time of a file: a save replaces the file and so changes both.
QString Identity(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("missing");
    return QStringLiteral("%1/%2.%3").arg(info.st_ino).arg(info.st_mtim.tv_sec).arg(info.st_mtim.tv_nsec);
}

// Starts program, lets it settle, ends it with SIGTERM; the milliseconds from the signal to
// its end, or a negative value when it did not run or end.
double TimeTermination(const QString& program, const QStringList& arguments,
                       const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return -1;
    QThread::msleep(SettleMs);
    if (process.state() != QProcess::Running)
        return -1;
    QElapsedTimer timer;
    timer.start();
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--dialog") == 0)
        return ShowTrivialDialog(argc, argv);

    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int rounds = arguments.size() > 1 ? qMax(1, arguments[1].toInt()) : 11;
    const QString binDir = QCoreApplication::applicationDirPath();

    // A profile and an installation folder of the benchmark's own, so that Presets.xml goes
    // there and not into the build.
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral("config"));
    const QString install = home.filePath(QStringLiteral("install"));
    QDir().mkpath(config + QStringLiteral("/Ostrand"));
    QDir().mkpath(install);
    for (const char* library : {"libvarnex1.so", "libvarnex1media.so"})
        QFile::link(QDir(binDir).filePath(QLatin1String(library)),
                    QDir(install).filePath(QLatin1String(library)));
    const QString settingsFile = config + QStringLiteral("/Ostrand/Tarnwick.conf");
    {
        QFile settings(settingsFile);
        settings.open(QIODevice::WriteOnly);
        settings.write("InstallDir=" + QFile::encodeName(install) + "\n");
    }
    const QString presetFile = QDir(install).filePath(QStringLiteral("Presets.xml"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    const QString program = binDir + QStringLiteral("/tarnwick");
    // The first start writes every setting and the factory presets; the rounds are later ones.
    if (TimeTermination(program, {}, environment) < 0) {
        std::fprintf(stderr, "tarnwick did not run\n");
        return 1;
    }
    std::printf("Exit on SIGTERM with nothing to save, %d rounds, %d ms after start\n", rounds, SettleMs);
    QList<double> ours;
    QList<double> ratios;
    int writes = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString before = Identity(settingsFile) + Identity(presetFile);
        double program_ms = 0;
        double dialog_ms = 0;
        // Alternate which goes first, so that neither always meets a fresher machine.
        for (int turn = 0; turn < 2; ++turn) {
            if ((round + turn) % 2 == 0)
                program_ms = TimeTermination(program, {}, environment);
            else
                dialog_ms = TimeTermination(QCoreApplication::applicationFilePath(),
                                            {QStringLiteral("--dialog")}, environment);
        }
        if (program_ms < 0 || dialog_ms <= 0) {
            std::fprintf(stderr, "round %d failed\n", round + 1);
            return 1;
        }
        if (Identity(settingsFile) + Identity(presetFile) != before)
            ++writes;
        ours << program_ms;
        ratios << program_ms / dialog_ms;
        std::printf("round %2d: tarnwick %7.1f ms, dialog %7.1f ms\n", round + 1, program_ms, dialog_ms);
    }
    const BenchSupport::RatioSummary times = BenchSupport::Summarize(ours);
    BenchSupport::PrintFigure("tarnwick exit on SIGTERM", times, "ms", "at most 30");
    BenchSupport::PrintRatio("tarnwick / trivial dialog", BenchSupport::Summarize(ratios));
    std::printf("rounds that wrote the settings or presets: %d of %d (goal: 0)\n", writes, rounds);
    return 0;
}
