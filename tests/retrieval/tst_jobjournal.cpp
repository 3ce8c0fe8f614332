// The journal of unfinished jobs: what it keeps, what it refuses to read, and how instances
// take over each other's jobs only once their owner has ended.

#include "app/leftovers.h"
#include "retrieval/job/journal/jobjournal.h"
#include "retrieval/job/journal/journaltext.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

namespace {

DownloadJob Job(const QString& url, JobState state, const QString& partial = {}) {
    DownloadJob job;
    job.url = url;
    job.state = state;
    if (!partial.isEmpty()) {
        job.choices = JobChoices{QStringLiteral("/videos"), VideoQuality::HighMp4,   true,
                                 QStringLiteral("MP4"),     QStringLiteral("Small"), nullptr};
        job.partial =
            PartialDownload{partial, "\"tag\"", "Wed, 09 Dec 2026 10:00:00 GMT", 123456789012, {}, 0, 0};
    }
    return job;
}

QStringList Urls(const QList<DownloadJob>& jobs) {
    QStringList urls;
    for (const DownloadJob& job : jobs)
        urls << job.url;
    return urls;
}

} // namespace

class TestJobJournal : public QObject {
    Q_OBJECT

private slots:
    void unfinishedJobsComeBackAsWaitingRows();
    void damagedTextIsRefused_data();
    void damagedTextIsRefused();
    void instancesNeverShareJobs();
    void takeOverLeavesWhatItDoesNotAccept();
    void nothingKeptLeavesNoFile_data();
    void nothingKeptLeavesNoFile();
    void damagedJournalIsPutAside();
    void changesAreAppendedAndReadBackInOrder();
    void aChangeCostsTheSameInShortAndLongLists();
    void manyChangesKeepTheFileSmall();
    void keptDownloadsOutliveLeftoverRemoval();
};

void TestJobJournal::unfinishedJobsComeBackAsWaitingRows() {
    const QString part = QStringLiteral("/videos/.~VD0123abcd.part");
    QList<DownloadJob> jobs = {
        Job(QStringLiteral("http://a/waiting"), JobState::Idle),
        Job(QStringLiteral("http://a/done"), JobState::Succeeded),
        Job(QStringLiteral("http://a/stopped"), JobState::Stopped, part),
        Job(QStringLiteral("http://a/gone-for-good"), JobState::Failed),
        Job(QStringLiteral("http://a/skipped"), JobState::Skipped),
        Job(QStringLiteral("http://a/cut-off"), JobState::Failed, QStringLiteral("/tmp/~VD00ff.tmp")),
        Job(QStringLiteral("http://a/under-way"), JobState::Downloading),
    };
    // A playlist's download, kept after its third segment.
    jobs[5].partial.playlistDigest = QByteArray(32, '\x5a');
    jobs[5].partial.segmentsDone = 3;
    jobs[5].partial.segmentBytes = 1234567;
    // A format chosen for a row, and a playlist row's limit for its entries.
    jobs[0].chosenFormat = QStringLiteral("137+140");
    jobs[6].largestPicture = 720;
    // Of the cookies the browser handed over, only that they came is kept.
    jobs[2].cookiesHanded = true;
    jobs[2].handedCookies = "127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\ts3cr3t\n";
    QVERIFY(!JournalText(jobs).contains("s3cr3t"));
    QList<DownloadJob> read;
    QVERIFY(ReadJournalText(JournalText(jobs), read));
    QVERIFY(read[1].cookiesHanded && read[1].handedCookies.isEmpty() && WantsHandedCookies(read[1]));
    QVERIFY(!read[0].cookiesHanded);
    QCOMPARE(Urls(read),
             (QStringList{QStringLiteral("http://a/waiting"), QStringLiteral("http://a/stopped"),
                          QStringLiteral("http://a/cut-off"), QStringLiteral("http://a/under-way")}));
    // Everything a later run needs survives the round trip; the rows come back waiting.
    QCOMPARE(JournalText(read), JournalText(jobs));
    for (const DownloadJob& job : read)
        QCOMPARE(job.state, JobState::Idle);
}

void TestJobJournal::damagedTextIsRefused_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("partial"); // of the one job, when readable
    const QByteArray head = "{\"tarnwickJournal\":1,\"jobs\":[";
    QTest::newRow("cut short") << head + "{\"url\":" << false << QString();
    QTest::newRow("not JSON") << QByteArray("\x00\x01garbage", 9) << false << QString();
    QTest::newRow("another version") << QByteArray("{\"tarnwickJournal\":2,\"jobs\":[]}") << false
                                     << QString();
    QTest::newRow("no address") << head + "{\"folder\":\"/v\",\"quality\":0}]}" << false << QString();
    QTest::newRow("address not text") << head + "{\"url\":5}]}" << false << QString();
    QTest::newRow("quality out of range")
        << head + "{\"url\":\"http://a\",\"folder\":\"/v\",\"quality\":7}]}" << false << QString();
    QTest::newRow("jobs not a list") << QByteArray("{\"tarnwickJournal\":1,\"jobs\":{}}") << false
                                     << QString();
    // Only a working file's name can be continued into, or deleted with its row.
    QTest::newRow("partial elsewhere") << head + "{\"url\":\"http://a\",\"folder\":\"/v\",\"quality\":0,"
                                                 "\"partial\":\"/home/u/.bashrc\",\"etag\":\"\\\"x\\\"\"}]}"
                                       << true << QString();
    QTest::newRow("partial ours") << head + "{\"url\":\"http://a\",\"folder\":\"/v\",\"quality\":0,"
                                            "\"partial\":\"/v/.~VD12ab.part\",\"etag\":\"\\\"x\\\"\"}]}"
                                  << true << QStringLiteral("/v/.~VD12ab.part");
    // Changes appended after the snapshot, one a line.
    const QByteArray snapshot = head + "{\"id\":4,\"url\":\"http://a\"}]}\n";
    const QByteArray kept =
        "{\"url\":\"http://b\",\"folder\":\"/v\",\"quality\":0,\"partial\":\"/v/.~VD1.part\"}";
    QTest::newRow("replaced") << snapshot + "{\"id\":4,\"after\":0,\"job\":" + kept + "}\n"
                              << true << QStringLiteral("/v/.~VD1.part");
    QTest::newRow("added, first gone")
        << snapshot + "{\"id\":5,\"after\":4,\"job\":" + kept + "}\n{\"id\":4,\"gone\":true}\n"
        << true << QStringLiteral("/v/.~VD1.part");
    // The writer ended within a line: that change did not happen.
    QTest::newRow("last line cut short") << snapshot + "{\"id\":4,\"gone\":tr" << true << QString();
    QTest::newRow("damaged line") << snapshot + "{\"id\":4,\"gone\":tr\n" << false << QString();
    QTest::newRow("after an unknown job") << snapshot + "{\"id\":5,\"after\":9,\"job\":" + kept + "}\n"
                                          << false << QString();
    QTest::newRow("unknown job gone") << snapshot + "{\"id\":9,\"gone\":true}\n" << false << QString();
    QTest::newRow("same id twice") << head +
                                          "{\"id\":4,\"url\":\"http://a\"},{\"id\":4,\"url\":\"http://b\"}]}"
                                   << false << QString();
}

void TestJobJournal::damagedTextIsRefused() {
    QFETCH(QByteArray, text);
    QFETCH(bool, readable);
    QFETCH(QString, partial);
    QList<DownloadJob> jobs;
    QCOMPARE(ReadJournalText(text, jobs), readable);
    QCOMPARE(jobs.size(), readable ? 1 : 0);
    if (readable)
        QCOMPARE(jobs.first().partial.path, partial);
}

void TestJobJournal::instancesNeverShareJobs() {
    QTemporaryDir folder;
    const QList<DownloadJob> jobs = {Job(QStringLiteral("http://a/1"), JobState::Idle),
                                     Job(QStringLiteral("http://a/2"), JobState::Stopped)};
    auto first = std::make_unique<JobJournal>(JobJournal::Kind::Window, folder.path());
    QVERIFY(first->Record(jobs));
    JobJournal second(JobJournal::Kind::Window, folder.path());
    QVERIFY(second.TakeOver({JobJournal::Kind::Window}, {}, nullptr).isEmpty()); // the first still runs

    first.reset(); // ends with its jobs unfinished
    QCOMPARE(Urls(second.TakeOver({JobJournal::Kind::Window}, {}, nullptr)), Urls(jobs));
    QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("*.json")}),
             QStringList{QFileInfo(second.Path()).fileName()});
    JobJournal third(JobJournal::Kind::Window, folder.path());
    QVERIFY(third.TakeOver({JobJournal::Kind::Window}, {}, nullptr).isEmpty());

    // A clean end with nothing unfinished leaves no journal.
    QVERIFY(second.Record({Job(QStringLiteral("http://a/1"), JobState::Succeeded)}));
    QVERIFY(QDir(folder.path()).entryList({QStringLiteral("*.json")}).isEmpty());
}

void TestJobJournal::takeOverLeavesWhatItDoesNotAccept() {
    QTemporaryDir folder;
    {
        JobJournal ended(JobJournal::Kind::Fetch, folder.path());
        QVERIFY(ended.Record({Job(QStringLiteral("http://a/1"), JobState::Idle),
                              Job(QStringLiteral("http://b/2"), JobState::Idle),
                              Job(QStringLiteral("http://a/3"), JobState::Idle)}));
    }
    const auto fromA = [](const DownloadJob& job) {
        return job.url.startsWith(QStringLiteral("http://a/"));
    };
    JobJournal taker(JobJournal::Kind::Fetch, folder.path());
    // Windows do not take what tarnwick-fetch left.
    QVERIFY(taker.TakeOver({JobJournal::Kind::Window}, {}, nullptr).isEmpty());
    QCOMPARE(Urls(taker.TakeOver({JobJournal::Kind::Fetch}, fromA, nullptr)),
             (QStringList{QStringLiteral("http://a/1"), QStringLiteral("http://a/3")}));
    JobJournal later(JobJournal::Kind::Fetch, folder.path());
    QCOMPARE(Urls(later.TakeOver({JobJournal::Kind::Fetch}, {}, nullptr)),
             QStringList{QStringLiteral("http://b/2")});
}

void TestJobJournal::damagedJournalIsPutAside() {
    QTemporaryDir folder;
    const QString damaged = folder.filePath(QStringLiteral("window-1-00000000.json"));
    QFile file(damaged);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"tarnwickJournal\":1,\"jobs\":[{");
    file.close();
    JobJournal journal(JobJournal::Kind::Window, folder.path());
    QStringList problems;
    QVERIFY(journal.TakeOver({JobJournal::Kind::Window}, {}, &problems).isEmpty());
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems.first().contains(QDir::toNativeSeparators(damaged + QStringLiteral(".bad"))));
    QVERIFY(!QFile::exists(damaged));
    QVERIFY(QFile::exists(damaged + QStringLiteral(".bad")));
}

void TestJobJournal::keptDownloadsOutliveLeftoverRemoval() {
    QTemporaryDir journals;
    QTemporaryDir output;
    const QString kept = output.filePath(QStringLiteral(".~VD0000aaaa.part"));
    const QString litter = output.filePath(QStringLiteral(".~VD0000bbbb.part"));
    for (const QString& path : {kept, litter}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    JobJournal journal(JobJournal::Kind::Window, journals.path());
    QVERIFY(journal.Record({Job(QStringLiteral("http://a/1"), JobState::Stopped, kept)}));
    QCOMPARE(JobJournal::KeptFiles(journals.path()), QStringList{kept});

    LeftoverPlaces places;
    places.outputFolders = {output.path()};
    places.keptFiles = JobJournal::KeptFiles(journals.path());
    // Both are far older than any job's working file may be.
    QCOMPARE(RemoveLeftovers(places, QDateTime::currentDateTimeUtc().addDays(3)), 1);
    QVERIFY(QFile::exists(kept));
    QVERIFY(!QFile::exists(litter));
}

namespace {

DownloadJob Numbered(quint64 id, JobState state = JobState::Idle) {
    DownloadJob job = Job(QStringLiteral("http://a/%1").arg(id), state);
    job.id = id;
    return job;
}

JournalChange Put(quint64 id, quint64 after, const DownloadJob& job) {
    return {id, after, JournalEntryText(job)};
}

QList<DownloadJob> ReadBack(const JobJournal& journal) {
    QFile file(journal.Path());
    QList<DownloadJob> jobs;
    if (file.open(QIODevice::ReadOnly))
        ReadJournalText(file.readAll(), jobs);
    return jobs;
}

} // namespace

void TestJobJournal::changesAreAppendedAndReadBackInOrder() {
    QTemporaryDir folder;
    JobJournal journal(JobJournal::Kind::Window, folder.path());
    QVERIFY(journal.Apply({Put(1, 0, Numbered(1)), Put(2, 1, Numbered(2))}));
    const auto grows = [&journal](const JournalChanges& changes, qint64 lineBytes) {
        const qint64 before = QFileInfo(journal.Path()).size();
        const qint64 written = journal.BytesWritten();
        return journal.Apply(changes) && QFileInfo(journal.Path()).size() - before == lineBytes &&
               journal.BytesWritten() - written == lineBytes;
    };
    // Each change adds its own line and nothing else.
    const JournalChange between = Put(3, 1, Numbered(3));
    QVERIFY(grows({between}, JournalChangeLine(between).size()));
    DownloadJob kept =
        Job(QStringLiteral("http://a/2"), JobState::Stopped, QStringLiteral("/videos/.~VD2.part"));
    kept.id = 2;
    const JournalChange replaced = Put(2, 0, kept);
    QVERIFY(grows({replaced}, JournalChangeLine(replaced).size()));
    QVERIFY(grows({Put(2, 0, kept)}, 0)); // what it holds already
    QVERIFY(grows({{1, 0, {}}}, JournalChangeLine({1, 0, {}}).size()));

    const QList<DownloadJob> read = ReadBack(journal);
    QCOMPARE(Urls(read), (QStringList{QStringLiteral("http://a/3"), QStringLiteral("http://a/2")}));
    QCOMPARE(read[1].partial.path, QStringLiteral("/videos/.~VD2.part"));
    // Taken over by a later instance, the jobs come back whole and in order.
    JobJournal later(JobJournal::Kind::Window, folder.path());
    QVERIFY(later.TakeOver({JobJournal::Kind::Window}, {}, nullptr).isEmpty()); // still held
    // With nothing unfinished the file goes.
    QVERIFY(journal.Apply({{3, 0, {}}, {2, 0, {}}}));
    QVERIFY(!QFile::exists(journal.Path()));
}

// Finishing the jobs of a list one by one writes about as much per job whatever the list's length.
void TestJobJournal::aChangeCostsTheSameInShortAndLongLists() {
    QList<double> bytesPerJob;
    for (const int count : {10, 3000}) {
        QTemporaryDir folder;
        JobJournal journal(JobJournal::Kind::Window, folder.path());
        JournalChanges added;
        for (int i = 1; i <= count; ++i)
            added.append(Put(quint64(i), quint64(i - 1), Numbered(quint64(i))));
        QVERIFY(journal.Apply(added));
        const qint64 start = journal.BytesWritten();
        for (int i = 1; i <= count; ++i) {
            // Under way, as the run shows it, then done.
            QVERIFY(journal.Apply({Put(quint64(i), 0, Numbered(quint64(i), JobState::Downloading))}));
            QVERIFY(journal.Apply({{quint64(i), 0, {}}}));
        }
        QVERIFY(!QFile::exists(journal.Path()));
        bytesPerJob.append(double(journal.BytesWritten() - start) / count);
    }
    QVERIFY2(bytesPerJob[1] <= 2 * bytesPerJob[0],
             qPrintable(QStringLiteral("%1 and %2 bytes a job").arg(bytesPerJob[0]).arg(bytesPerJob[1])));
}

// A job whose kept download moves on often changes its entry each time; now and then the file is
// written whole, so that it stays about the size of what it holds and reads back the newest.
void TestJobJournal::manyChangesKeepTheFileSmall() {
    QTemporaryDir folder;
    JobJournal journal(JobJournal::Kind::Fetch, folder.path());
    DownloadJob job =
        Job(QStringLiteral("http://a/list"), JobState::Downloading, QStringLiteral("/videos/.~VD3.part"));
    job.id = 7;
    job.partial.playlistDigest = QByteArray(32, 'd');
    qint64 largest = 0;
    for (int segments = 1; segments <= 5000; ++segments) {
        job.partial.segmentsDone = segments;
        job.partial.segmentBytes = qint64(segments) * 1000;
        QVERIFY(journal.Apply({Put(7, 0, job)}));
        largest = qMax(largest, QFileInfo(journal.Path()).size());
    }
    QVERIFY2(largest < 3 * 64 * 1024, qPrintable(QString::number(largest)));
    const QList<DownloadJob> read = ReadBack(journal);
    QCOMPARE(read.size(), 1);
    QCOMPARE(read.first().partial.segmentsDone, 5000);
}

// A take-over that keeps nothing leaves no journal file: neither the one it took from nor its
// own, however the jobs went.
void TestJobJournal::nothingKeptLeavesNoFile_data() {
    QTest::addColumn<QStringList>("endedUrls"); // waiting jobs the ended instance left
    QTest::addColumn<bool>("finishTaken");
    QTest::newRow("a journal of no jobs") << QStringList{} << false;
    QTest::newRow("every job taken, then finished")
        << QStringList{QStringLiteral("http://a/1"), QStringLiteral("http://a/2")} << true;
}

void TestJobJournal::nothingKeptLeavesNoFile() {
    QFETCH(QStringList, endedUrls);
    QFETCH(bool, finishTaken);
    QList<DownloadJob> ended;
    for (const QString& url : endedUrls)
        ended.append(Job(url, JobState::Idle));
    QTemporaryDir folder;
    {
        JobJournal old(JobJournal::Kind::Window, folder.path());
        QVERIFY(old.Record({Job(QStringLiteral("http://a/0"), JobState::Idle)}));
        // What the ended instance wrote last, as it wrote it.
        QFile file(old.Path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(file.write(JournalText(ended)) > 0);
    }
    JobJournal taker(JobJournal::Kind::Window, folder.path());
    QList<DownloadJob> taken = taker.TakeOver({JobJournal::Kind::Window}, {}, nullptr);
    QCOMPARE(Urls(taken), Urls(ended));
    if (finishTaken) {
        for (DownloadJob& job : taken)
            job.state = JobState::Succeeded;
        QVERIFY(taker.Record(taken));
    }
    QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("*.json")}), QStringList());
}

QTEST_GUILESS_MAIN(TestJobJournal)
#include "tst_jobjournal.moc"
