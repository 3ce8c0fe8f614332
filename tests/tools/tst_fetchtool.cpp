// tarnwick-fetch downloads pages and playlists of every kind with the program's own procedure
// and settings, and says which failed and why.

#include "sampleservice.h"
#include "standinprogram.h"
#include "testenvironment.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <unistd.h>

class TestFetchTool : public QObject {
    Q_OBJECT

private slots:
    void downloadsEveryKindAndReportsFailures();
    void fullDiskIsNamedAndLeavesNothing_data();
    void fullDiskIsNamedAndLeavesNothing();
    void missingTransferLibraryIsTheJobsReason();
    void interruptedFetchContinuesWithResume();
    void interruptedPlaylistGoesOnAfterItsWholeSegments_data();
    void interruptedPlaylistGoesOnAfterItsWholeSegments();
    void helpNamesTheYtDlpInUse_data();
    void helpNamesTheYtDlpInUse();
    void ytDlpRunsOnlyForPagesThatNeedIt();
};

void TestFetchTool::downloadsEveryKindAndReportsFailures() {
    TestSupport::IsolatedProfile profile;
    SampleService service;
    QVERIFY2(service.Start(), qPrintable(service.Error()));
    QVERIFY(service.AddSampleVideos());
    QVERIFY(service.AddMedia(QStringLiteral("sample.title"), QByteArray("Sample clip")));
    QVERIFY2(service.AddWebMedia(QStringLiteral("sample")), qPrintable(service.Error()));
    {
        QSettings settings(profile.SettingsFile(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Settings/VideoHost"), service.Host());
        settings.setValue(QStringLiteral("Settings/Quality"), 0);
    }

    QTemporaryDir output;
    QProcess fetch;
    fetch.setProcessChannelMode(QProcess::MergedChannels);
    fetch.start(TestSupport::BinDir() + QStringLiteral("/tarnwick-fetch"),
                {output.path(), service.Url(QStringLiteral("/html5?v=sample")),
                 service.Url(QStringLiteral("/hls/sample/master.m3u8")),
                 service.Url(QStringLiteral("/media/sample.mp4")),
                 service.Url(QStringLiteral("/hls/sample/encrypted.m3u8")),
                 service.WatchUrl(QStringLiteral("sample"))});
    QVERIFY(fetch.waitForFinished(120000));
    const QString log = QString::fromLocal8Bit(fetch.readAll());
    QCOMPARE(fetch.exitCode(), 1);
    QVERIFY2(log.contains(QStringLiteral("Completed: 4 success, 1 failure")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("error: The HLS playlist is encrypted (AES-128)")), qPrintable(log));

    // Quality 0: the smallest rendition of the page and of the master playlist.
    QCOMPARE(QDir(output.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({QStringLiteral("Sample clip.flv"), QStringLiteral("Sample clip.mp4"),
                          QStringLiteral("master.ts"), QStringLiteral("sample.mp4")}));
    QFile page(output.filePath(QStringLiteral("Sample clip.mp4")));
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll() == service.MediaBytes(QStringLiteral("sample-120.mp4")));

    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_type,height:format=duration"), QStringLiteral("-of"),
                 QStringLiteral("default=noprint_wrappers=1"), output.filePath(QStringLiteral("master.ts"))});
    QVERIFY(probe.waitForFinished(30000));
    const QString report = QString::fromUtf8(probe.readAllStandardOutput());
    QVERIFY2(report.contains(QStringLiteral("codec_type=video\nheight=120")), qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("codec_type=audio")), qPrintable(report));
    const double duration =
        QRegularExpression(QStringLiteral("duration=([0-9.]+)")).match(report).captured(1).toDouble();
    QVERIFY2(qAbs(duration - 3.0) < 0.2, qPrintable(report));
}

void TestFetchTool::fullDiskIsNamedAndLeavesNothing_data() {
    QTest::addColumn<int>("freeKiB");
    // The stream is 40 KiB and reaches the disk in 16 KiB blocks, then the rest at the end.
    QTest::newRow("full while receiving") << 8;
    QTest::newRow("full at the last block") << 36;
}

void TestFetchTool::fullDiskIsNamedAndLeavesNothing() {
    QFETCH(int, freeKiB);
    if (::geteuid() != 0)
        QSKIP("mounting a small file system needs root");
    TestSupport::IsolatedProfile profile;
    SampleService service;
    QVERIFY2(service.Start(), qPrintable(service.Error()));
    QVERIFY(service.AddMedia(QStringLiteral("clip.flv"), QByteArray(40 * 1024, 'f')));
    QVERIFY(service.AddMedia(QStringLiteral("clip.title"), QByteArray("Clip")));
    {
        QSettings settings(profile.SettingsFile(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Settings/VideoHost"), service.Host());
        settings.setValue(QStringLiteral("Settings/Quality"), 0);
    }
    QTemporaryDir work;
    // A small tmpfs in a mount namespace of its own, filled up to the free space asked for.
    const QString script = QStringLiteral(R"(
        mount -t tmpfs -o size=128k tmpfs "$1" || exit 90
        dd if=/dev/zero of="$1/fill" bs=4096 2>/dev/null
        truncate -s -"$2"K "$1/fill" || exit 92
        mkdir "$1/out" || exit 93
        "$3" "$1/out" "$4"
        status=$?
        ls -A "$1/out"
        exit $status)");
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("unshare"),
                  {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                   QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh"), work.path(),
                   QString::number(freeKiB), TestSupport::BinDir() + QStringLiteral("/tarnwick-fetch"),
                   service.WatchUrl(QStringLiteral("clip"))});
    QVERIFY(process.waitForFinished(60000));
    const QString log = QString::fromLocal8Bit(process.readAll());
    if (process.exitCode() >= 90 || process.error() == QProcess::FailedToStart)
        QSKIP(qPrintable(QStringLiteral("no small file system here: %1").arg(log)));
    QCOMPARE(process.exitCode(), 1);
    // The system's word, not "Unknown error", and no working file left behind.
    QVERIFY2(log.contains(QStringLiteral("error: No space left on device")), qPrintable(log));
    QVERIFY2(log.trimmed().endsWith(QStringLiteral("Completed: 0 success, 1 failure")), qPrintable(log));
}

// libcurl is loaded on the first transfer, not at start; when it cannot be loaded, the job fails
// with the system's reason and nothing is left behind.
void TestFetchTool::missingTransferLibraryIsTheJobsReason() {
    TestSupport::IsolatedProfile profile;
    SampleService service;
    QVERIFY2(service.Start(), qPrintable(service.Error()));
    QVERIFY(service.AddSampleVideos());
    QTemporaryDir libraries;
    QFile brokenLibrary(libraries.filePath(QStringLiteral("libcurl.so.4")));
    QVERIFY(brokenLibrary.open(QIODevice::WriteOnly)); // empty: not a library the loader accepts
    brokenLibrary.close();

    QTemporaryDir output;
    QProcess fetch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_LIBRARY_PATH"), libraries.path());
    fetch.setProcessEnvironment(environment);
    fetch.setProcessChannelMode(QProcess::MergedChannels);
    fetch.start(TestSupport::BinDir() + QStringLiteral("/tarnwick-fetch"),
                {output.path(), service.WatchUrl(QStringLiteral("sample"))});
    QVERIFY(fetch.waitForFinished(60000));
    const QString log = QString::fromLocal8Bit(fetch.readAll());
    QCOMPARE(fetch.exitCode(), 1);
    QVERIFY2(log.contains(QStringLiteral("Completed: 0 success, 1 failure")), qPrintable(log));
    QVERIFY2(log.contains(libraries.filePath(QStringLiteral("libcurl.so.4"))), qPrintable(log));
    QVERIFY(QDir(output.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}
// Ctrl+C keeps the download in progress and the jobs after it; --resume continues them into
// the same folder, the kept one with a range.
void TestFetchTool::interruptedFetchContinuesWithResume() {
    TestSupport::IsolatedProfile profile;
    SampleService service;
    QVERIFY2(service.Start(), qPrintable(service.Error()));
    QTemporaryDir output;
    constexpr qint64 bodyBytes = 16'000'000;
    const QString slow = service.Url(QStringLiteral("/versioned?n=%1&rate=4000000").arg(bodyBytes));
    const QString next = service.Url(QStringLiteral("/versioned/next.mp4?n=1000"));
    const QString fetchPath = TestSupport::BinDir() + QStringLiteral("/tarnwick-fetch");

    QProcess first;
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(fetchPath, {output.path(), slow, next});
    const auto kept = [&output] {
        const QStringList parts =
            QDir(output.path()).entryList({QStringLiteral(".~VD*.part")}, QDir::Files | QDir::Hidden);
        return parts.size() == 1 ? QFileInfo(output.filePath(parts.first())).size() : qint64(0);
    };
    QTRY_VERIFY_WITH_TIMEOUT(kept() >= bodyBytes / 2, 30000);
    ::kill(pid_t(first.processId()), SIGINT);
    QVERIFY(first.waitForFinished(30000));
    const QString firstLog = QString::fromLocal8Bit(first.readAll());
    QVERIFY2(firstLog.contains(QStringLiteral("Stopped: ")), qPrintable(firstLog));
    const qint64 keptBytes = kept();
    QVERIFY(keptBytes >= bodyBytes / 2);

    // Another run through the folder, long after: the kept download is no killed job's litter.
    const QString keptName =
        QDir(output.path()).entryList({QStringLiteral(".~VD*.part")}, QDir::Files | QDir::Hidden).first();
    QFile keptFile(output.filePath(keptName));
    QVERIFY(keptFile.open(QIODevice::ReadWrite));
    QVERIFY(
        keptFile.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    keptFile.close();
    QProcess other;
    other.start(fetchPath, {output.path(), service.Url(QStringLiteral("/versioned/other.mp4?n=1000"))});
    QVERIFY(other.waitForFinished(60000));
    QCOMPARE(other.exitCode(), 0);
    QCOMPARE(kept(), keptBytes);

    QProcess second;
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(fetchPath, {QStringLiteral("--resume"), output.path()});
    QVERIFY(second.waitForFinished(60000));
    const QString log = QString::fromLocal8Bit(second.readAll());
    QCOMPARE(second.exitCode(), 0);
    QVERIFY2(log.contains(QStringLiteral("Unfinished downloads to continue: 2")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("Completed: 2 success, 0 failure")), qPrintable(log));
    QVERIFY(Served(service).requests.contains(QStringLiteral("bytes=%1-|\"ver-1\"").arg(keptBytes)));
    QFile delivered(output.filePath(QStringLiteral("versioned.mp4")));
    QVERIFY(delivered.open(QIODevice::ReadOnly));
    QVERIFY(delivered.readAll() == VersionedBytes(bodyBytes, 1));
}

void TestFetchTool::interruptedPlaylistGoesOnAfterItsWholeSegments_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("Ctrl+C") << int(SIGINT);
    // The journal lags behind the file: what came after its last record is cut off.
    QTest::newRow("killed") << int(SIGKILL);
}

// A stopped or killed playlist keeps the segments its file holds whole; --resume fetches only
// the rest.
void TestFetchTool::interruptedPlaylistGoesOnAfterItsWholeSegments() {
    QFETCH(int, signalNumber);
    TestSupport::IsolatedProfile profile;
    SampleService service;
    QVERIFY2(service.Start(), qPrintable(service.Error()));
    constexpr int segmentCount = 20;
    QVERIFY2(service.AddWebMedia(QStringLiteral("clip"),
                                 {QStringLiteral("--ts-only"), QStringLiteral("--segments"),
                                  QString::number(segmentCount), QStringLiteral("--seconds"),
                                  QString::number(segmentCount), QStringLiteral("--size"),
                                  QStringLiteral("160x120")}),
             qPrintable(service.Error()));
    {
        QSettings settings(profile.SettingsFile(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Settings/SegmentConnections"), 1);
    }
    QByteArray whole;
    for (int i = 0; i < segmentCount; ++i)
        whole += service.MediaBytes(QStringLiteral("hls/clip/v0/seg%1.ts").arg(i, 3, 10, QLatin1Char('0')));
    QVERIFY(!whole.isEmpty());
    const QString journalFolder = profile.DataHome() + QStringLiteral("/Ostrand/Tarnwick/Journal");
    const auto recordedSegments = [&journalFolder] {
        const QStringList journals =
            QDir(journalFolder).entryList({QStringLiteral("fetch-*.json")}, QDir::Files);
        QFile journal(QDir(journalFolder).filePath(journals.value(0)));
        if (!journal.open(QIODevice::ReadOnly))
            return 0;
        // Changes are appended to the journal: the last record is the newest.
        int segments = 0;
        auto records = QRegularExpression(QStringLiteral("\"segments\":(\\d+)"))
                           .globalMatch(QString::fromUtf8(journal.readAll()));
        while (records.hasNext())
            segments = records.next().captured(1).toInt();
        return segments;
    };
    const QString fetchPath = TestSupport::BinDir() + QStringLiteral("/tarnwick-fetch");
    QTemporaryDir output;

    QProcess first;
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(fetchPath, {output.path(), service.Url(QStringLiteral("/hls/clip/slow.m3u8"))});
    QTRY_VERIFY_WITH_TIMEOUT(recordedSegments() >= 3, 30000);
    ::kill(pid_t(first.processId()), signalNumber);
    QVERIFY(first.waitForFinished(30000));
    const int kept = recordedSegments();
    QVERIFY2(kept >= 3 && kept < segmentCount, qPrintable(QString::number(kept)));
    // The segments already kept are not asked for again: changed on the server now, they would
    // show in the delivered file if they were.
    QVERIFY(service.AddMedia(QStringLiteral("hls/clip/v0/seg000.ts"), QByteArray("changed")));

    QProcess second;
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(fetchPath, {QStringLiteral("--resume"), output.path()});
    QVERIFY(second.waitForFinished(60000));
    const QString log = QString::fromLocal8Bit(second.readAll());
    QVERIFY2(log.contains(QStringLiteral("Completed: 1 success, 0 failure")), qPrintable(log));
    const QStringList files = QDir(output.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(files.size(), 1); // the delivered file, and no working file left
    QFile delivered(output.filePath(files.first()));
    QVERIFY(delivered.open(QIODevice::ReadOnly));
    QVERIFY2(delivered.readAll() == whole, "the delivered file is not the playlist's segments in order");
}

void TestFetchTool::helpNamesTheYtDlpInUse_data() {
    QTest::addColumn<QString>("ytDlpPath");
    QTest::addColumn<QString>("expected");
    QTest::newRow("installed") << QStringLiteral("/usr/bin/yt-dlp") << QStringLiteral("yt-dlp: 20");
    QTest::newRow("missing") << QStringLiteral("/nonexistent/yt-dlp") << QStringLiteral("yt-dlp: not found");
}

void TestFetchTool::helpNamesTheYtDlpInUse() {
    QFETCH(QString, ytDlpPath);
    QFETCH(QString, expected);
    TestSupport::IsolatedProfile profile;
    QSettings(profile.SettingsFile(), QSettings::IniFormat)
        .setValue(QStringLiteral("Settings/YtDlpPath"), ytDlpPath);
    const QString fetchPath = TestSupport::BinDir() + QStringLiteral("/tarnwick-fetch");
    const auto help = [&fetchPath] {
        QProcess fetch;
        fetch.start(fetchPath, {QStringLiteral("--help")});
        return fetch.waitForFinished(60000) && fetch.exitCode() == 0
                   ? QString::fromLocal8Bit(fetch.readAllStandardOutput())
                   : QStringLiteral("--help failed");
    };
    // --help does not start yt-dlp to ask: a program that was never looked for is named so.
    const bool present = QFileInfo(ytDlpPath).isExecutable();
    const QString before = help();
    QVERIFY2(before.contains(present ? QStringLiteral("yt-dlp: not looked for yet") : expected),
             qPrintable(before));
    QProcess find;
    find.start(fetchPath, {QStringLiteral("--find-yt-dlp")});
    QVERIFY(find.waitForFinished(60000));
    QCOMPARE(find.exitCode(), present ? 0 : 1);
    QVERIFY2(QString::fromLocal8Bit(find.readAllStandardOutput()).contains(expected), qPrintable(expected));
    const QString after = help();
    QVERIFY2(after.contains(expected), qPrintable(after));
}

// yt-dlp is started only for a page that the built-in readers cannot read, and an unchanged
// yt-dlp is asked for its version once, whichever run asks.
void TestFetchTool::ytDlpRunsOnlyForPagesThatNeedIt() {
    TestSupport::IsolatedProfile profile;
    SampleService service;
    QVERIFY2(service.Start(), qPrintable(service.Error()));
    QVERIFY(service.AddSampleVideos());
    QVERIFY2(service.AddWebMedia(QStringLiteral("sample")), qPrintable(service.Error()));
    QVERIFY(service.AddMedia(QStringLiteral("clip.mp4"), QByteArray(4096, 'c')));
    QVERIFY(service.AddMedia(QStringLiteral("player.html"),
                             "<html><head><title>Scripted</title></head><body><script>var setup = "
                             "{video_url: \"" +
                                 service.Url(QStringLiteral("/media/clip.mp4")).toUtf8() +
                                 "\"};</script></body></html>"));
    QTemporaryDir bin;
    const QString calls = bin.filePath(QStringLiteral("calls"));
    const QString standIn = bin.filePath(QStringLiteral("yt-dlp"));
    QVERIFY(
        WriteStandInProgram(standIn, "echo \"$*\" >> '" + calls.toUtf8() + "'\nexec /usr/bin/yt-dlp \"$@\""));
    {
        QSettings settings(profile.SettingsFile(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Settings/VideoHost"), service.Host());
        settings.setValue(QStringLiteral("Settings/YtDlpPath"), standIn);
    }
    const auto fetch = [](const QStringList& urls) {
        QTemporaryDir output;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(TestSupport::BinDir() + QStringLiteral("/tarnwick-fetch"),
                      QStringList{output.path()} + urls);
        process.waitForFinished(120000);
        return QString::fromLocal8Bit(process.readAll());
    };
    const auto callLines = [&calls] {
        QFile file(calls);
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                   : QStringList();
    };
    const auto versionCalls = [&callLines] {
        return callLines().filter(QStringLiteral("--version")).size();
    };

    // A direct link, the video service's watch page and a plain HTML5 page need no yt-dlp.
    QString log =
        fetch({service.Url(QStringLiteral("/media/clip.mp4")), service.WatchUrl(QStringLiteral("sample")),
               service.Url(QStringLiteral("/html5?v=sample"))});
    QVERIFY2(log.contains(QStringLiteral("Completed: 3 success, 0 failure")), qPrintable(log));
    QVERIFY2(callLines().isEmpty(), qPrintable(callLines().join(QLatin1Char('\n'))));

    // A player set up in a script is yt-dlp's to read: it is looked for once, then asked.
    log = fetch({service.Url(QStringLiteral("/media/player.html"))});
    QVERIFY2(log.contains(QStringLiteral("Completed: 1 success, 0 failure")), qPrintable(log));
    QCOMPARE(versionCalls(), 1);
    const qsizetype firstRunCalls = callLines().size();
    QVERIFY2(firstRunCalls >= 2, qPrintable(callLines().join(QLatin1Char('\n'))));

    // The next run knows the unchanged program; a changed one is asked again.
    log = fetch({service.Url(QStringLiteral("/media/player.html"))});
    QVERIFY2(log.contains(QStringLiteral("Completed: 1 success, 0 failure")), qPrintable(log));
    QCOMPARE(versionCalls(), 1);
    QVERIFY(callLines().size() > firstRunCalls);
    QFile program(standIn);
    QVERIFY(program.open(QIODevice::Append));
    program.write("# changed\n");
    program.close();
    log = fetch({service.Url(QStringLiteral("/media/player.html"))});
    QVERIFY2(log.contains(QStringLiteral("Completed: 1 success, 0 failure")), qPrintable(log));
    QCOMPARE(versionCalls(), 2);
}

QTEST_GUILESS_MAIN(TestFetchTool)
#include "tst_fetchtool.moc"
