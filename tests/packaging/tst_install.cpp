// The installed program: the layout of an installation prefix, the program started from there
// (and from the installed quillet host) on the sample service, and the Debian package.

#include "sampleservice.h"
#include "testenvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
};

Run RunProgram(const QString& program, const QStringList& arguments, const QByteArray& input = {},
               int timeoutMs = 120000) {
    QProcess process;
    process.start(program, arguments);
    Run run;
    if (!process.waitForStarted())
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput() + process.readAllStandardError();
    return run;
}

// Width and height from a PNG's header.
QSize PngSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n"))
        return {};
    auto number = [&](int at) {
        const auto* b = reinterpret_cast<const unsigned char*>(head.constData() + at);
        return int(b[0]) << 24 | int(b[1]) << 16 | int(b[2]) << 8 | int(b[3]);
    };
    return {number(16), number(20)};
}

// The run-path entries (RUNPATH and RPATH) of every ELF file in folder that are empty or
// relative to the current folder, each with its file: the loader would look for libraries in
// whatever folder the program was started from.
QStringList CurrentFolderSearchPaths(const QString& folder) {
    QStringList found;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files)) {
        QFile elf(file.filePath());
        if (!elf.open(QIODevice::ReadOnly) || elf.read(4) != "\x7f"
                                                             "ELF")
            continue;
        const Run dynamic = RunProgram(QStringLiteral("readelf"), {QStringLiteral("-d"), file.filePath()});
        for (const QByteArray& line : dynamic.out.split('\n')) {
            if (!line.contains("(RUNPATH)") && !line.contains("(RPATH)"))
                continue;
            const qsizetype open = line.indexOf('[');
            const QByteArray paths = line.mid(open + 1, line.lastIndexOf(']') - open - 1);
            for (const QByteArray& entry : paths.split(':')) {
                if (!entry.startsWith('/') && !entry.startsWith("$ORIGIN"))
                    found << file.fileName() + QStringLiteral(": \"") + QString::fromUtf8(entry) + '"';
            }
        }
    }
    return found;
}

// Lets the installed program run a download from its command line by itself and close.
void StoreAutoRun(const TestSupport::IsolatedProfile& profile, const SampleService& service,
                  const QString& folder) {
    QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
    stored.setValue(QStringLiteral("Settings/AutoStart"), 1);
    stored.setValue(QStringLiteral("Settings/AutoClose"), 1);
    stored.setValue(QStringLiteral("Settings/Convert"), 0);
    stored.setValue(QStringLiteral("Settings/VideoHost"), service.Host());
    stored.setValue(QStringLiteral("Settings/DefaultFolder"), folder);
}

// The files of a package (not its folders), as absolute paths, from dpkg-deb's listing.
QStringList FilesListed(const QByteArray& listing) {
    QStringList files;
    for (const QByteArray& line : listing.split('\n')) {
        const qsizetype at = line.indexOf(" ./");
        if (at >= 0 && !line.startsWith('d'))
            files << QString::fromUtf8(line.mid(at + 2));
    }
    return files;
}

QByteArray DownloadFrame(const QString& url) {
    const QByteArray body = "{\"cmd\":\"download\",\"url\":\"" + url.toUtf8() + "\"}";
    QByteArray frame(4, '\0');
    const auto length = static_cast<quint32>(body.size());
    std::memcpy(frame.data(), &length, sizeof length);
    return frame + body;
}

// lintian finds no error and no warning that the package does not override with a reason, and
// the desktop entry and the AppStream metainfo pass their validators; a tool that is not
// installed is said, not skipped silently.
void CheckWithDebiansTools(const QString& deb, const QString& unpacked) {
    const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
    if (lintian.isEmpty()) {
        qWarning("lintian is not installed: the package was not checked with it");
    } else {
        const Run run = RunProgram(
            lintian, {QStringLiteral("--fail-on"), QStringLiteral("error,warning"), deb}, {}, 600000);
        QVERIFY2(run.exitCode == 0, run.out.constData());
    }
    const QString appstream = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (!appstream.isEmpty()) {
        const Run run = RunProgram(
            appstream, {QStringLiteral("validate"), QStringLiteral("--no-net"),
                        unpacked + QStringLiteral("/usr/share/metainfo/org.example.tarnwick.metainfo.xml")});
        QVERIFY2(run.exitCode == 0, run.out.constData());
    }
    const QString desktop = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!desktop.isEmpty()) {
        const Run run =
            RunProgram(desktop, {unpacked + QStringLiteral("/usr/share/applications/tarnwick.desktop")});
        QVERIFY2(run.exitCode == 0 && run.out.trimmed().isEmpty(), run.out.constData());
    }
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

    QTemporaryDir packages;
    QString deb;

private slots:
    // The packages are made once, for the cases that look into them.
    void initTestCase() {
        const Run cpack =
            RunProgram(QStringLiteral(CPACK_EXECUTABLE),
                       {QStringLiteral("-G"), MAKES_RPM ? QStringLiteral("DEB;RPM") : QStringLiteral("DEB"),
                        QStringLiteral("--config"), QStringLiteral(BUILD_FOLDER "/CPackConfig.cmake"),
                        QStringLiteral("-B"), packages.path()});
        QVERIFY2(cpack.exitCode == 0, cpack.out.constData());
        const QStringList debs = QDir(packages.path()).entryList({QStringLiteral("tarnwick_*.deb")});
        QCOMPARE(debs.size(), 1);
        deb = QDir(packages.path()).filePath(debs.first());
    }

    void installedProgramRunsFromItsPrefix() {
        QTemporaryDir prefix;
        const Run install = RunProgram(QStringLiteral(CMAKE_EXECUTABLE),
                                       {QStringLiteral("--install"), QStringLiteral(BUILD_FOLDER),
                                        QStringLiteral("--prefix"), prefix.path()});
        QVERIFY2(install.exitCode == 0, install.out.constData());

        const QDir root(prefix.path());
        for (const char* program : {"bin/tarnwick", "bin/quillet"})
            QVERIFY2(QFileInfo(root.filePath(QLatin1String(program))).isExecutable(), program);
        for (const char* engine : {"/tarnwick/libvarnex1.so", "/tarnwick/libvarnex1media.so"}) {
            const QString path = QStringLiteral(LIBRARY_FOLDER) + QLatin1String(engine);
            QVERIFY2(QFileInfo::exists(root.filePath(path)), qPrintable(path));
        }
        QVERIFY(QFileInfo::exists(
            root.filePath(QStringLiteral("share/tarnwick/browser/chromium/manifest.json"))));
        QVERIFY(QFileInfo::exists(
            root.filePath(QStringLiteral("share/tarnwick/browser/chromium/background.js"))));
        QVERIFY(QFileInfo(root.filePath(QStringLiteral("share/tarnwick/browser/tarnwick.xpi"))).size() > 0);
        QFile desktop(root.filePath(QStringLiteral("share/applications/tarnwick.desktop")));
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        const QByteArrayList entry = desktop.readAll().split('\n');
        QVERIFY(entry.contains("Exec=tarnwick %U"));
        QVERIFY(entry.contains("Icon=tarnwick"));
        for (int size : {16, 48, 256}) {
            const QString icon = QStringLiteral("share/icons/hicolor/%1x%1/apps/tarnwick.png").arg(size);
            QCOMPARE(PngSize(root.filePath(icon)), QSize(size, size));
        }

        for (const QString& folder : {root.filePath(QStringLiteral("bin")),
                                      root.filePath(QStringLiteral(LIBRARY_FOLDER "/tarnwick"))}) {
            const QStringList relative = CurrentFolderSearchPaths(folder);
            QVERIFY2(relative.isEmpty(), qPrintable(relative.join(QStringLiteral(", "))));
        }

        TestSupport::IsolatedProfile profile;
        SampleService service;
        QVERIFY2(service.Start() && service.AddSampleVideos(), qPrintable(service.Error()));
        const QByteArray video = service.MediaBytes(QStringLiteral("sample.flv"));
        QVERIFY(service.AddMedia(QStringLiteral("one.flv"), video));
        QVERIFY(service.AddMedia(QStringLiteral("one.title"), "Installed one"));
        QVERIFY(service.AddMedia(QStringLiteral("two.flv"), video));
        QVERIFY(service.AddMedia(QStringLiteral("two.title"), "Handed over two"));
        QTemporaryDir output;
        StoreAutoRun(profile, service, output.path());

        // Started as the desktop entry starts it: the engine is found from the prefix alone.
        const Run run = RunProgram(root.filePath(QStringLiteral("bin/tarnwick")),
                                   {service.WatchUrl(QStringLiteral("one"))});
        QVERIFY2(run.exitCode == 0, run.out.constData());
        QFile first(QDir(output.path()).filePath(QStringLiteral("Installed one.flv")));
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll(), video);
        QCOMPARE(QSettings(profile.SettingsFile(), QSettings::IniFormat)
                     .value(QStringLiteral("InstallDir"))
                     .toString(),
                 root.filePath(QStringLiteral("bin")));

        // The installed host starts the installed program, which downloads and closes by itself.
        const Run host = RunProgram(root.filePath(QStringLiteral("bin/quillet")), {},
                                    DownloadFrame(service.WatchUrl(QStringLiteral("two"))));
        QCOMPARE(host.exitCode, 0);
        QVERIFY2(host.out.contains("\"ok\":true"), host.out.constData());
        const QString second = QDir(output.path()).filePath(QStringLiteral("Handed over two.flv"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(second).size() == video.size(), 60000);
        // The program writes its settings as it ends; wait for that before the folders go.
        QTRY_VERIFY_WITH_TIMEOUT(QSettings(profile.SettingsFile(), QSettings::IniFormat)
                                         .value(QStringLiteral("Recent/URLs/1"))
                                         .toString() == service.WatchUrl(QStringLiteral("two")),
                                 60000);
    }

    void librariesInTheCurrentFolderAreNotLoaded() {
        const QString bin = QStringLiteral(BUILD_FOLDER "/bin");
        const QStringList relative = CurrentFolderSearchPaths(bin);
        QVERIFY2(relative.isEmpty(), qPrintable(relative.join(QStringLiteral(", "))));

        // A download folder holding files named like the program's libraries and its engine.
        TestSupport::IsolatedProfile profile;
        QTemporaryDir downloads;
        for (const char* name : {"libtinyxml.so.2.6.2", "libQt6Core.so.6", "libvarnex1.so"}) {
            QFile garbage(QDir(downloads.path()).filePath(QLatin1String(name)));
            QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write("not a library") > 0);
        }
        QProcess program;
        program.setWorkingDirectory(downloads.path());
        program.start(bin + QStringLiteral("/tarnwick"), {QStringLiteral("-?")});
        QVERIFY(program.waitForFinished(60000));
        const QByteArray out = program.readAllStandardOutput() + program.readAllStandardError();
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0, out.constData());
        QVERIFY2(out.contains("Usage: tarnwick"), out.constData());
    }

    void debianPackageHoldsTheSameInstallation() {
        const Run contents = RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb});
        QCOMPARE(contents.exitCode, 0);
        for (const char* path :
             {"./usr/bin/tarnwick", "./usr/bin/quillet", "./usr/bin/tarnwick-fetch",
              "./usr/" LIBRARY_FOLDER "/tarnwick/libvarnex1.so",
              "./usr/" LIBRARY_FOLDER "/tarnwick/libvarnex1media.so",
              "./usr/share/applications/tarnwick.desktop",
              "./usr/share/icons/hicolor/48x48/apps/tarnwick.png",
              "./usr/share/tarnwick/browser/chromium/manifest.json",
              "./usr/share/tarnwick/browser/tarnwick.xpi", "./usr/share/man/man1/tarnwick.1.gz",
              "./usr/share/man/man1/tarnwick-fetch.1.gz", "./usr/share/man/man1/quillet.1.gz",
              "./usr/share/doc/tarnwick/copyright", "./usr/share/doc/tarnwick/changelog.gz",
              "./usr/share/metainfo/org.example.tarnwick.metainfo.xml",
              "./usr/share/lintian/overrides/tarnwick"})
            QVERIFY2(contents.out.contains(QByteArray(path) + '\n'), path);
        // Every user's browsers find the installed host without opening Tarnwick first.
        QTemporaryDir unpacked;
        QCOMPARE(
            RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, unpacked.path()}).exitCode, 0);
        for (const char* folder :
             {"usr/lib/mozilla/native-messaging-hosts", "etc/chromium/native-messaging-hosts",
              "etc/opt/chrome/native-messaging-hosts"}) {
            QFile file(
                QDir(unpacked.path())
                    .filePath(QLatin1String(folder) + QStringLiteral("/ostrand.tarnwick.quillet.json")));
            QVERIFY2(file.open(QIODevice::ReadOnly), folder);
            const QJsonObject manifest = QJsonDocument::fromJson(file.readAll()).object();
            QCOMPARE(manifest.value(QStringLiteral("path")).toString(), QStringLiteral("/usr/bin/quillet"));
            QCOMPARE(manifest.value(QStringLiteral("name")).toString(),
                     QStringLiteral("ostrand.tarnwick.quillet"));
            const bool firefox = QByteArray(folder).contains("mozilla");
            QCOMPARE(
                manifest
                    .value(firefox ? QStringLiteral("allowed_extensions") : QStringLiteral("allowed_origins"))
                    .toArray()
                    .size(),
                1);
        }
        // Nothing of the build or the tests slips in.
        QVERIFY(!contents.out.contains("videosvc"));
        QVERIFY(!contents.out.contains("argvrecorder"));

        const Run depends =
            RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
        QVERIFY2(depends.out.contains("libqt6core6"), depends.out.constData());
        // Loaded at run time, so no scan of the program finds it.
        QVERIFY2(depends.out.contains("libcurl4"), depends.out.constData());
        const Run recommends =
            RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Recommends")});
        QVERIFY2(recommends.out.contains("yt-dlp"), recommends.out.constData());
        // A browser is only suggested: apt installs no browser for the extension's sake.
        QVERIFY2(!recommends.out.contains("chromium"), recommends.out.constData());
        const Run suggests =
            RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Suggests")});
        QVERIFY2(suggests.out.contains("chromium | firefox-esr"), suggests.out.constData());
        // The symbols are in a package of their own; the programs are stripped.
        QCOMPARE(QDir(packages.path()).entryList({QStringLiteral("tarnwick-dbgsym_*.ddeb")}).size(), 1);
        const Run symbols = RunProgram(QStringLiteral("file"),
                                       {QDir(unpacked.path()).filePath(QStringLiteral("usr/bin/tarnwick"))});
        QVERIFY2(symbols.out.contains(", stripped"), symbols.out.constData());
        CheckWithDebiansTools(deb, unpacked.path());
        // Every file the package puts in /etc is a configuration file, kept when edited.
        const QStringList files = FilesListed(contents.out);
        const QStringList inEtc = files.filter(QRegularExpression(QStringLiteral("^/etc/")));
        QCOMPARE(inEtc.size(), 2);
        const Run conffiles =
            RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-I"), deb, QStringLiteral("conffiles")});
        for (const QString& file : inEtc)
            QVERIFY2(conffiles.out.contains(file.toUtf8() + '\n'), qPrintable(file));

        const QStringList rpms = QDir(packages.path()).entryList({QStringLiteral("tarnwick-*.rpm")});
        if (MAKES_RPM) {
            QCOMPARE(rpms.size(), 1);
            const Run listed =
                RunProgram(QStringLiteral("rpm"),
                           {QStringLiteral("-qlp"), QDir(packages.path()).filePath(rpms.first())});
            QCOMPARE(listed.exitCode, 0);
            // The same installation as the Debian package, file for file.
            for (const QString& file : files)
                QVERIFY2(listed.out.contains(file.toUtf8() + '\n'), qPrintable(file));
            const Run configs =
                RunProgram(QStringLiteral("rpm"),
                           {QStringLiteral("-qcp"), QDir(packages.path()).filePath(rpms.first())});
            for (const QString& file : inEtc)
                QVERIFY2(configs.out.contains(file.toUtf8() + '\n'), qPrintable(file));
        }
    }

    // dpkg installs the package into an empty root whose package database holds only what the
    // package depends on, as this machine has it: so dpkg itself checks every dependency and
    // version, runs the maintainer scripts, and purging leaves nothing behind.
    void packageInstallsIntoACleanRootAndPurgesWithoutTrace() {
        QTemporaryDir root;
        const QDir admin(root.filePath(QStringLiteral("var/lib/dpkg")));
        for (const char* folder : {"info", "updates", "triggers"})
            QVERIFY(admin.mkpath(QLatin1String(folder)));
        QFile available(admin.filePath(QStringLiteral("available")));
        QVERIFY(available.open(QIODevice::WriteOnly));
        QFile status(admin.filePath(QStringLiteral("status")));
        QVERIFY(status.open(QIODevice::WriteOnly));
        const Run depends =
            RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
        for (const QByteArray& group : depends.out.trimmed().split(',')) {
            bool found = false;
            for (const QByteArray& alternative : group.split('|')) {
                const QByteArray name = alternative.trimmed().split(' ').first();
                const Run stanza =
                    RunProgram(QStringLiteral("dpkg-query"), {QStringLiteral("-s"), QString::fromUtf8(name)});
                if (stanza.exitCode == 0 && stanza.out.contains("Status: install ok installed")) {
                    status.write(stanza.out.trimmed() + "\n\n");
                    found = true;
                }
            }
            QVERIFY2(found, group.constData());
        }
        status.close();

        // dpkg looks for its helpers (ldconfig among them) in PATH, which a user's often lacks.
        qputenv("PATH", qgetenv("PATH") + ":/usr/sbin:/sbin");
        // Not as root too: the scripts run outside the root, which holds no shell.
        const QStringList dpkg = {QStringLiteral("--root=") + root.path(), QStringLiteral("--log=/dev/null"),
                                  QStringLiteral("--force-not-root"),
                                  QStringLiteral("--force-script-chrootless")};
        const Run install = RunProgram(QStringLiteral("dpkg"), dpkg + QStringList{QStringLiteral("-i"), deb});
        QVERIFY2(install.exitCode == 0, install.out.constData());
        const Run state = RunProgram(QStringLiteral("dpkg"),
                                     dpkg + QStringList{QStringLiteral("-s"), QStringLiteral("tarnwick")});
        QVERIFY2(state.out.contains("Status: install ok installed"), state.out.constData());
        const Run contents = RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb});
        const QStringList files = FilesListed(contents.out);
        for (const QString& file : files) {
            const QString path = root.path() + file.section(QStringLiteral(" -> "), 0, 0);
            QVERIFY2(QFileInfo(path).isSymLink() || QFileInfo(path).isFile(), qPrintable(path));
        }
        QVERIFY(files.size() > 20);
        const Run version =
            RunProgram(root.filePath(QStringLiteral("usr/bin/tarnwick-fetch")), {QStringLiteral("--help")});
        QVERIFY2(version.exitCode == 0 && version.out.contains(TARNWICK_VERSION), version.out.constData());

        const Run purge = RunProgram(QStringLiteral("dpkg"), dpkg + QStringList{QStringLiteral("--purge"),
                                                                                QStringLiteral("tarnwick")});
        QVERIFY2(purge.exitCode == 0, purge.out.constData());
        QStringList left;
        QDirIterator walk(root.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                          QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            const QString path = walk.next();
            if (!path.startsWith(root.filePath(QStringLiteral("var"))))
                left << path;
        }
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QStringLiteral(", "))));
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "tst_install.moc"
