// Which yt-dlp runs, what it may be given, and how a release's files are read: versions, the
// newer-of rule, flag gating, the stale-version hint, checksum lists and release files.

#include "retrieval/sources/ytdlp/update/checksumlist.h"
#include "retrieval/sources/ytdlp/update/releaseasset.h"
#include "retrieval/sources/ytdlp/ytdlpchoice.h"
#include "retrieval/sources/ytdlp/ytdlpflags.h"
#include "retrieval/sources/ytdlp/ytdlpversion.h"

#include <QTest>

using namespace Tarnwick;

class TestYtDlpVersion : public QObject {
    Q_OBJECT

private slots:
    void versionsOrderByDateThenBuild_data();
    void versionsOrderByDateThenBuild();
    void newerOfTheTwoRuns_data();
    void newerOfTheTwoRuns();
    void newerFlagsOnlyForVersionsThatHaveThem_data();
    void newerFlagsOnlyForVersionsThatHaveThem();
    void staleVersionSuggestsAnUpdate();
    void checksumOfTheNamedFile_data();
    void checksumOfTheNamedFile();
    void releaseFileForTheMachine_data();
    void releaseFileForTheMachine();
};

void TestYtDlpVersion::versionsOrderByDateThenBuild_data() {
    QTest::addColumn<QString>("older");
    QTest::addColumn<QString>("newer");

    QTest::newRow("month") << "2023.03.04"
                           << "2023.11.16";
    QTest::newRow("year beats month") << "2023.12.30"
                                      << "2024.01.02";
    QTest::newRow("nightly after its release") << "2024.12.06"
                                               << "2024.12.06.232142";
    QTest::newRow("nightly builds") << "2024.12.06.002000"
                                    << "2024.12.06.232142";
    QTest::newRow("unpadded") << "2023.3.4"
                              << "2023.03.05";
    QTest::newRow("newline from --version") << "2023.03.04\n"
                                            << "2024.03.10";
}

void TestYtDlpVersion::versionsOrderByDateThenBuild() {
    QFETCH(QString, older);
    QFETCH(QString, newer);
    const auto a = YtDlpVersion::Parse(older);
    const auto b = YtDlpVersion::Parse(newer);
    QVERIFY(a && b);
    QVERIFY(*a < *b);
    QVERIFY(*b > *a);
    QVERIFY(*a == *YtDlpVersion::Parse(older));
    QCOMPARE(a->ToString(), older.trimmed());
}

void TestYtDlpVersion::newerOfTheTwoRuns_data() {
    QTest::addColumn<QString>("privateVersion");
    QTest::addColumn<QString>("pathVersion");
    QTest::addColumn<YtDlpOrigin>("chosen");

    using O = YtDlpOrigin;
    QTest::newRow("own copy newer") << "2024.12.06"
                                    << "2023.03.04" << O::Private;
    QTest::newRow("PATH newer") << "2023.03.04"
                                << "2024.12.06" << O::SystemPath;
    QTest::newRow("PATH nightly of the same day") << "2024.12.06"
                                                  << "2024.12.06.1" << O::SystemPath;
    QTest::newRow("equal: own copy") << "2024.12.06"
                                     << "2024.12.06" << O::Private;
    QTest::newRow("own copy only") << "2024.12.06"
                                   << "" << O::Private;
    QTest::newRow("PATH only") << ""
                               << "2023.03.04" << O::SystemPath;
    QTest::newRow("neither") << ""
                             << "" << O::None;
    QTest::newRow("unreadable loses") << "2023.03.04"
                                      << "2024.12.06-dev" << O::Private;
    QTest::newRow("unreadable loses, PATH") << "custom build"
                                            << "2023.03.04" << O::SystemPath;
}

void TestYtDlpVersion::newerOfTheTwoRuns() {
    QFETCH(QString, privateVersion);
    QFETCH(QString, pathVersion);
    QFETCH(YtDlpOrigin, chosen);
    const YtDlpCandidate own{QStringLiteral("/data/yt-dlp"), privateVersion};
    const YtDlpCandidate system{QStringLiteral("/usr/bin/yt-dlp"), pathVersion};
    QCOMPARE(ChooseNewerYtDlp(own, system), chosen);
}

void TestYtDlpVersion::newerFlagsOnlyForVersionsThatHaveThem_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("passed");

    QTest::newRow("old flag, oldest version") << OldestSupportedYtDlp << "--dump-single-json" << true;
    QTest::newRow("old flag, unknown version") << ""
                                               << "--newline" << true;
    QTest::newRow("newer flag, oldest version") << OldestSupportedYtDlp << "--impersonate" << false;
    QTest::newRow("newer flag, its own release") << "2024.03.10"
                                                 << "--impersonate" << true;
    QTest::newRow("newer flag, day before") << "2024.03.09"
                                            << "--impersonate" << false;
    QTest::newRow("newer flag, unknown version") << "dev"
                                                 << "--progress-delta" << false;
    QTest::newRow("newer flag, newer version") << "2025.01.01"
                                               << "--progress-delta" << true;
}

void TestYtDlpVersion::newerFlagsOnlyForVersionsThatHaveThem() {
    QFETCH(QString, version);
    QFETCH(QString, flag);
    QFETCH(bool, passed);
    QCOMPARE(YtDlpHasFlag(version, flag), passed);
    // Every gated flag is newer than the oldest supported yt-dlp, or gating it means nothing.
    for (const char* gated : {"--netrc-cmd", "--impersonate", "--progress-delta", "--js-runtimes"}) {
        const auto since = YtDlpVersion::Parse(YtDlpFlagSince(QString::fromLatin1(gated)));
        QVERIFY2(since && *since > *YtDlpVersion::Parse(QString::fromLatin1(OldestSupportedYtDlp)), gated);
    }
}

void TestYtDlpVersion::staleVersionSuggestsAnUpdate() {
    const QDate release(2024, 12, 6);
    QVERIFY(YtDlpUpdateSuggestion(QStringLiteral("2024.12.06"), release.addDays(YtDlpStaleDays)).isEmpty());
    const QString hint =
        YtDlpUpdateSuggestion(QStringLiteral("2024.12.06"), release.addDays(YtDlpStaleDays + 1));
    QVERIFY2(hint.contains(QStringLiteral("61 days old")) && hint.contains(QStringLiteral("Update yt-dlp")),
             qPrintable(hint));
    QVERIFY(YtDlpUpdateSuggestion(QStringLiteral("unknown"), release.addYears(3)).isEmpty());
    QCOMPARE(WithYtDlpUpdateSuggestion(QStringLiteral("yt-dlp: Unable to extract"),
                                       QStringLiteral("2024.12.06"), release.addDays(YtDlpStaleDays + 1)),
             QStringLiteral("yt-dlp: Unable to extract - ") + hint);
}

void TestYtDlpVersion::checksumOfTheNamedFile_data() {
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QByteArray>("digest");

    const QByteArray a(64, 'a');
    const QByteArray b(64, 'B');
    QTest::newRow("text mode") << "" + a + "  yt-dlp\n" + b + "  yt-dlp_linux\n" << b.toLower();
    QTest::newRow("binary mode, CRLF") << "" + b + " *yt-dlp_linux\r\n" << b.toLower();
    QTest::newRow("longer name is another file") << "" + a + "  yt-dlp_linux_aarch64\n" << QByteArray();
    QTest::newRow("short digest") << "" + a.left(63) + "  yt-dlp_linux\n" << QByteArray();
    QTest::newRow("not hex") << "" + QByteArray(64, 'g') + "  yt-dlp_linux\n" << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestYtDlpVersion::checksumOfTheNamedFile() {
    QFETCH(QByteArray, list);
    QFETCH(QByteArray, digest);
    QCOMPARE(ChecksumFor(list, QStringLiteral("yt-dlp_linux")), digest);
}

void TestYtDlpVersion::releaseFileForTheMachine_data() {
    QTest::addColumn<QString>("architecture");
    QTest::addColumn<bool>("python");
    QTest::addColumn<QString>("asset");

    QTest::newRow("x86_64") << "x86_64" << false << "yt-dlp_linux";
    QTest::newRow("arm64") << "arm64" << true << "yt-dlp_linux_aarch64";
    QTest::newRow("other with python") << "riscv64" << true << "yt-dlp";
    QTest::newRow("other without python") << "riscv64" << false << "";
}

void TestYtDlpVersion::releaseFileForTheMachine() {
    QFETCH(QString, architecture);
    QFETCH(bool, python);
    QFETCH(QString, asset);
    QCOMPARE(YtDlpReleaseAsset(architecture, python), asset);
}

QTEST_GUILESS_MAIN(TestYtDlpVersion)
#include "tst_ytdlpversion.moc"
