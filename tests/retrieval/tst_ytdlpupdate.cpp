// Updating Tarnwick's own yt-dlp against a local stand-in for the release address, with
// shell scripts in place of the release's programs.

#include "recordingsink.h"
#include "releaseserver.h"
#include "retrieval/sources/ytdlp/update/releasesignature.h"
#include "retrieval/sources/ytdlp/update/versionprobe.h"
#include "retrieval/sources/ytdlp/update/ytdlpupdater.h"
#include "retrieval/sources/ytdlp/ytdlpinuse.h"
#include "testenvironment.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

namespace {

const QString Asset = QStringLiteral("yt-dlp_linux");
const QByteArray PreviousCopy = "#!/bin/sh\necho 2023.03.04\n";

QByteArray StandIn(const QByteArray& body) {
    return "#!/bin/sh\n" + body + "\n";
}

QByteArray SumsLine(const QByteArray& content, const QString& name) {
    return QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex() + "  " + name.toUtf8() +
           "\n";
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A signing key of the test's own, made with gpg in a scratch home.
class TestSigner {
public:
    bool Make(const QString& name) {
        if (gpg_.isEmpty() || !home_.isValid())
            return false;
        return Gpg({QStringLiteral("--quick-gen-key"), name, QStringLiteral("rsa2048"),
                    QStringLiteral("sign"), QStringLiteral("never")});
    }
    QByteArray ArmoredKey() {
        QByteArray key;
        Gpg({QStringLiteral("--armor"), QStringLiteral("--export")}, &key);
        return key;
    }
    QByteArray Sign(const QByteArray& data) {
        const QString input = home_.filePath(QStringLiteral("data"));
        const QString output = input + QStringLiteral(".sig");
        QFile file(input);
        file.open(QIODevice::WriteOnly);
        file.write(data);
        file.close();
        QFile::remove(output);
        Gpg({QStringLiteral("--detach-sign"), QStringLiteral("-o"), output, input});
        return ReadAll(output);
    }

private:
    bool Gpg(QStringList arguments, QByteArray* output = nullptr) {
        QProcess gpg;
        gpg.start(gpg_, QStringList{QStringLiteral("--homedir"), home_.path(), QStringLiteral("--batch"),
                                    QStringLiteral("--passphrase"), QString(),
                                    QStringLiteral("--pinentry-mode"), QStringLiteral("loopback")} +
                            arguments);
        const bool done = gpg.waitForFinished(60000) && gpg.exitCode() == 0;
        if (output != nullptr)
            *output = gpg.readAllStandardOutput();
        return done;
    }

    QString gpg_ = QStandardPaths::findExecutable(QStringLiteral("gpg"));
    QTemporaryDir home_;
};

} // namespace

class TestYtDlpUpdate : public QObject {
    Q_OBJECT

private slots:
    void init();
    void goodReleaseReplacesThePreviousCopy();
    void installedCopyRunsWhenNewerThanPath_data();
    void installedCopyRunsWhenNewerThanPath();
    void failuresLeaveThePreviousCopy_data();
    void failuresLeaveThePreviousCopy();
    void stopLeavesThePreviousCopy_data();
    void stopLeavesThePreviousCopy();
    void signatureDecides_data();
    void signatureDecides();
    void shippedKeyIsAKeyring();

private:
    YtDlpUpdateOptions Options() const;
    void PutRelease(const QByteArray& program,
                    ReleaseServer::Delivery delivery = ReleaseServer::Delivery::Whole);
    void VerifyPreviousCopyKept();

    std::unique_ptr<ReleaseServer> server_;
    std::unique_ptr<QTemporaryDir> folder_;
};

void TestYtDlpUpdate::init() {
    server_ = std::make_unique<ReleaseServer>();
    QVERIFY(server_->Start());
    folder_ = std::make_unique<QTemporaryDir>();
    QFile previous(folder_->filePath(QStringLiteral("yt-dlp")));
    QVERIFY(previous.open(QIODevice::WriteOnly));
    previous.write(PreviousCopy);
    previous.close();
    previous.setPermissions(previous.permissions() | QFileDevice::ExeOwner);
}

YtDlpUpdateOptions TestYtDlpUpdate::Options() const {
    YtDlpUpdateOptions options;
    options.releaseUrl = server_->BaseUrl();
    options.installFolder = folder_->path();
    options.asset = Asset;
    options.retryWaitScale = 0.01;
    options.stallSeconds = 5;
    return options;
}

void TestYtDlpUpdate::PutRelease(const QByteArray& program, ReleaseServer::Delivery delivery) {
    server_->Put(QStringLiteral("SHA2-256SUMS"),
                 SumsLine("other", QStringLiteral("yt-dlp")) + SumsLine(program, Asset) +
                     SumsLine("other", QStringLiteral("yt-dlp_linux_aarch64")));
    server_->Put(Asset, program, delivery);
}

void TestYtDlpUpdate::VerifyPreviousCopyKept() {
    const QString installed = folder_->filePath(QStringLiteral("yt-dlp"));
    QCOMPARE(ReadAll(installed), PreviousCopy);
    QCOMPARE(ProbeYtDlpVersion(installed).version, QStringLiteral("2023.03.04"));
    // Nothing half-made stays behind.
    QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("yt-dlp")});
}

void TestYtDlpUpdate::goodReleaseReplacesThePreviousCopy() {
    const QByteArray program = StandIn("echo 2099.01.02.123456") + QByteArray(200000, '#');
    PutRelease(program);
    RecordingSink sink;

    const YtDlpUpdateResult result = UpdateYtDlp(Options(), &sink);

    QCOMPARE(result.outcome, YtDlpUpdateResult::Outcome::Installed);
    QCOMPARE(result.version, QStringLiteral("2099.01.02.123456"));
    const QString installed = folder_->filePath(QStringLiteral("yt-dlp"));
    QCOMPARE(result.path, installed);
    QCOMPARE(ReadAll(installed), program);
    QVERIFY(QFileInfo(installed).isExecutable());
    QCOMPARE(ProbeYtDlpVersion(installed).version, result.version);
    QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("yt-dlp")});
    QVERIFY(!result.signatureChecked);
    QVERIFY2(result.message.contains(QStringLiteral("signature was not checked")),
             qPrintable(result.message));
    // The download's progress reached the sink, the transfer's own result lines did not.
    QVERIFY(sink.calls.contains(QStringLiteral("Progress 1 195")));
    QVERIFY(!sink.calls.filter(QStringLiteral("Status 3")).size());
}

void TestYtDlpUpdate::installedCopyRunsWhenNewerThanPath_data() {
    QTest::addColumn<QByteArray>("pathVersion");
    QTest::addColumn<YtDlpOrigin>("origin");

    QTest::newRow("PATH older") << QByteArray("2023.03.04") << YtDlpOrigin::Private;
    QTest::newRow("PATH newer") << QByteArray("2100.01.01") << YtDlpOrigin::SystemPath;
}

void TestYtDlpUpdate::installedCopyRunsWhenNewerThanPath() {
    QFETCH(QByteArray, pathVersion);
    QFETCH(YtDlpOrigin, origin);
    TestSupport::IsolatedProfile profile;
    QTemporaryDir bin;
    QFile onPath(bin.filePath(QStringLiteral("yt-dlp")));
    QVERIFY(onPath.open(QIODevice::WriteOnly));
    onPath.write(StandIn("echo " + pathVersion));
    onPath.close();
    onPath.setPermissions(onPath.permissions() | QFileDevice::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ":/usr/bin:/bin");
    PutRelease(StandIn("echo 2099.01.02"));
    YtDlpUpdateOptions options = Options();
    options.installFolder = YtDlpUpdateDefaults(QString()).installFolder;

    const YtDlpUpdateResult result = UpdateYtDlp(options, nullptr);
    const YtDlpProgram inUse = FindYtDlp(QString());
    qputenv("PATH", oldPath);

    QCOMPARE(result.outcome, YtDlpUpdateResult::Outcome::Installed);
    QVERIFY(result.path.startsWith(profile.DataHome()));
    QCOMPARE(inUse.origin, origin);
    QCOMPARE(inUse.version,
             origin == YtDlpOrigin::Private ? result.version : QString::fromLatin1(pathVersion));
    QVERIFY(YtDlpInUseText(inUse, QString()).contains(inUse.path));
}

void TestYtDlpUpdate::failuresLeaveThePreviousCopy_data() {
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<int>("delivery");
    QTest::addColumn<QByteArray>("sums");
    QTest::addColumn<QString>("reason");

    const QByteArray good = StandIn("echo 2099.01.02") + QByteArray(50000, '#');
    const auto whole = int(ReleaseServer::Delivery::Whole);
    QTest::newRow("wrong checksum") << good << whole << SumsLine("something else", Asset)
                                    << QStringLiteral("does not match its SHA-256");
    QTest::newRow("cut short") << good << int(ReleaseServer::Delivery::CutShort) << QByteArray()
                               << QStringLiteral("cannot download yt-dlp_linux");
    QTest::newRow("server error") << good << int(ReleaseServer::Delivery::ServerError) << QByteArray()
                                  << QStringLiteral("cannot download yt-dlp_linux");
    QTest::newRow("not in the list") << good << whole << SumsLine(good, QStringLiteral("yt-dlp_linux.zip"))
                                     << QStringLiteral("SHA2-256SUMS lists no yt-dlp_linux");
    QTest::newRow("no list") << good << whole << QByteArray("-")
                             << QStringLiteral("cannot download SHA2-256SUMS");
    QTest::newRow("fails") << StandIn("echo broken >&2; exit 3") << whole << QByteArray()
                           << QStringLiteral("does not run (it ended with exit code 3: broken)");
    QTest::newRow("not a program") << QByteArray("\x7f"
                                                 "ELF garbage")
                                   << whole << QByteArray() << QStringLiteral("does not run");
    QTest::newRow("no version") << StandIn("echo Usage: yt-dlp") << whole << QByteArray()
                                << QStringLiteral("printed no version (\"Usage: yt-dlp\")");
}

void TestYtDlpUpdate::failuresLeaveThePreviousCopy() {
    QFETCH(QByteArray, program);
    QFETCH(int, delivery);
    QFETCH(QByteArray, sums);
    QFETCH(QString, reason);
    PutRelease(program, ReleaseServer::Delivery(delivery));
    if (sums == "-")
        server_->Remove(QStringLiteral("SHA2-256SUMS"));
    else if (!sums.isEmpty())
        server_->Put(QStringLiteral("SHA2-256SUMS"), sums);

    const YtDlpUpdateResult result = UpdateYtDlp(Options(), nullptr);

    QCOMPARE(result.outcome, YtDlpUpdateResult::Outcome::Failed);
    QVERIFY2(result.message.contains(reason), qPrintable(result.message));
    QVERIFY(result.message.contains(QStringLiteral("The yt-dlp in use is unchanged.")));
    VerifyPreviousCopyKept();
}

void TestYtDlpUpdate::stopLeavesThePreviousCopy_data() {
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<int>("delivery");
    QTest::addColumn<QString>("stopAt");

    QTest::newRow("while downloading")
        << StandIn("echo 2099.01.02") + QByteArray(100000, '#') << int(ReleaseServer::Delivery::Trickle)
        << QStringLiteral("Downloading yt-dlp_linux");
    // The stand-in's own child must end with it, or the update would wait for its output.
    QTest::newRow("while trying it") << StandIn("sleep 30 & wait") << int(ReleaseServer::Delivery::Whole)
                                     << QStringLiteral("Trying the new yt-dlp");
}

void TestYtDlpUpdate::stopLeavesThePreviousCopy() {
    QFETCH(QByteArray, program);
    QFETCH(int, delivery);
    QFETCH(QString, stopAt);
    PutRelease(program, ReleaseServer::Delivery(delivery));
    RecordingSink sink;
    sink.cancelWhenStatusStartsWith = stopAt;
    sink.cancelAfterPolls = 3;

    QElapsedTimer clock;
    clock.start();
    const YtDlpUpdateResult result = UpdateYtDlp(Options(), &sink);

    QCOMPARE(result.outcome, YtDlpUpdateResult::Outcome::Stopped);
    QVERIFY2(result.message.contains(QStringLiteral("stopped")), qPrintable(result.message));
    VerifyPreviousCopyKept();
    // Not a speed goal: a stop that did not end the program would have waited out its time limit.
    QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
}

void TestYtDlpUpdate::signatureDecides_data() {
    QTest::addColumn<QString>("signedBy");
    QTest::addColumn<bool>("installs");
    QTest::addColumn<QString>("reason");

    QTest::newRow("the release key") << QStringLiteral("release") << true << QString();
    QTest::newRow("another key") << QStringLiteral("other") << false
                                 << QStringLiteral("carries no valid signature by yt-dlp's release key");
    QTest::newRow("tampered list") << QStringLiteral("tampered") << false
                                   << QStringLiteral("carries no valid signature by yt-dlp's release key");
    QTest::newRow("no signature") << QString() << false << QStringLiteral("cannot download SHA2-256SUMS.sig");
}

void TestYtDlpUpdate::signatureDecides() {
    QFETCH(QString, signedBy);
    QFETCH(bool, installs);
    QFETCH(QString, reason);
    const QString gpgv = QStandardPaths::findExecutable(QStringLiteral("gpgv"));
    TestSigner release;
    TestSigner other;
    if (gpgv.isEmpty() || !release.Make(QStringLiteral("Release <release@example.invalid>")) ||
        !other.Make(QStringLiteral("Other <other@example.invalid>")))
        QSKIP("gpg and gpgv are needed to make and check signatures");
    PutRelease(StandIn("echo 2099.01.02"));
    const QByteArray list = SumsLine(StandIn("echo 2099.01.02"), Asset);
    if (signedBy == QLatin1String("release"))
        server_->Put(QStringLiteral("SHA2-256SUMS.sig"), release.Sign(list));
    else if (signedBy == QLatin1String("other"))
        server_->Put(QStringLiteral("SHA2-256SUMS.sig"), other.Sign(list));
    else if (signedBy == QLatin1String("tampered"))
        server_->Put(QStringLiteral("SHA2-256SUMS.sig"), release.Sign(SumsLine("earlier", Asset)));
    server_->Put(QStringLiteral("SHA2-256SUMS"), list);
    YtDlpUpdateOptions options = Options();
    options.gpgvProgram = gpgv;
    options.releaseKey = release.ArmoredKey();

    const YtDlpUpdateResult result = UpdateYtDlp(options, nullptr);

    QVERIFY2((result.outcome == YtDlpUpdateResult::Outcome::Installed) == installs,
             qPrintable(result.message));
    QCOMPARE(result.signatureChecked, installs);
    if (installs) {
        QCOMPARE(result.version, QStringLiteral("2099.01.02"));
        QVERIFY2(result.message.contains(QStringLiteral("and its signature")), qPrintable(result.message));
    } else {
        QVERIFY2(result.message.contains(reason), qPrintable(result.message));
        VerifyPreviousCopyKept();
    }
}

void TestYtDlpUpdate::shippedKeyIsAKeyring() {
    // gpgv reads only binary keyrings: the shipped armoured key must come out as packets, the
    // first a public key (old-format tag 6: 0x99).
    const QByteArray keyring = DearmorPublicKey(YtDlpReleaseKey());
    QVERIFY(keyring.size() > 500);
    QCOMPARE(quint8(keyring.at(0)), quint8(0x99));
    QVERIFY(DearmorPublicKey(YtDlpReleaseKey().replace("mQINBGP78C4B", "mQINBGP78C4!")).isEmpty());
}

QTEST_GUILESS_MAIN(TestYtDlpUpdate)
#include "tst_ytdlpupdate.moc"
