// bench_startup: the time from starting the program to its window being shown, against the
// same for a trivial Qt Widgets dialog (this program started with --dialog), in rounds that
// alternate which goes first. Each is a process of its own, timed from start to exit; a probe
// plug-in ends it once its first window has been shown and painted. Prints the median of the
// per-round ratios with their spread. Goal: at most 1.1, wall and CPU, for an everyday start; the first start
// of all, which also writes the settings file, is shown beside it.
//   bench_startup [rounds]        (QT_QPA_PLATFORM=xcb under a display measures the real thing)

#include "benchsupport.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <cstdio>
#include <cstring>

namespace {

int ShowTrivialDialog(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("A trivial dialog.")));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    return dialog.exec() == QDialog::Accepted ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--dialog") == 0)
        return ShowTrivialDialog(argc, argv);

    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int rounds = arguments.size() > 1 ? arguments[1].toInt() : 11;
    const QString binDir = QCoreApplication::applicationDirPath();

    // A profile of the benchmark's own. The warm-up round is the program's first start, which
    // records the installation folder; every measured round is then a later start (the probe
    // ends each process before the exit writes the other settings).
    QTemporaryDir config;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    environment.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(PROBE_PLUGIN_DIR));
    environment.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("shownprobe"));
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    const QList<BenchSupport::Contender> contenders = {
        [&](BenchSupport::Measurement& m) {
            return BenchSupport::RunProcess(binDir + QStringLiteral("/tarnwick"), {}, environment, m);
        },
        [&](BenchSupport::Measurement& m) {
            return BenchSupport::RunProcess(QCoreApplication::applicationFilePath(),
                                            {QStringLiteral("--dialog")}, environment, m);
        },
        // The first start of all, in an empty profile: it also writes the settings file.
        [&](BenchSupport::Measurement& m) {
            QTemporaryDir emptyProfile;
            QProcessEnvironment firstStart = environment;
            firstStart.insert(QStringLiteral("XDG_CONFIG_HOME"), emptyProfile.path());
            return BenchSupport::RunProcess(binDir + QStringLiteral("/tarnwick"), {}, firstStart, m);
        },
    };
    std::printf("Start-up to a shown window on the %s platform, %d rounds, order turning\n",
                qPrintable(environment.value(QStringLiteral("QT_QPA_PLATFORM"))), rounds);
    QList<QList<BenchSupport::Measurement>> warmUp;
    QList<QList<BenchSupport::Measurement>> results;
    const bool measured =
        BenchSupport::RunRounds(1, contenders, warmUp) &&
        BenchSupport::RunRounds(rounds, contenders, results, [](int round, const auto& m) {
            std::printf(
                "round %d: tarnwick %6.1f ms (CPU %6.1f ms)   trivial dialog %6.1f ms (CPU %6.1f ms)   "
                "first start %6.1f ms\n",
                round, m[0].seconds * 1e3, m[0].cpuSeconds * 1e3, m[1].seconds * 1e3, m[1].cpuSeconds * 1e3,
                m[2].seconds * 1e3);
        });
    if (!measured) {
        std::fprintf(stderr, "A start-up failed or showed no window.\n");
        return 1;
    }
    BenchSupport::PrintRatio("tarnwick / trivial dialog, wall", BenchSupport::TimeRatio(results, 0, 1),
                             "at most 1.1");
    BenchSupport::PrintRatio("tarnwick / trivial dialog, CPU",
                             BenchSupport::SummarizeRounds(
                                 results, [](const auto& m) { return m[0].cpuSeconds / m[1].cpuSeconds; }),
                             "at most 1.1");
    BenchSupport::PrintRatio("first start / trivial dialog, wall", BenchSupport::TimeRatio(results, 2, 1));
    return 0;
}
