// The journal kept beside the window's list: whatever the list goes through (rows added,
// inserted after a row, finished, removed, cleared), the journal reads back as the list's
// unfinished rows, in the list's order.

#include "queue/joblistmodel.h"
#include "queue/journalkeeper.h"
#include "retrieval/job/journal/jobjournal.h"
#include "retrieval/job/journal/journaltext.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

class TestJournalKeeper : public QObject {
    Q_OBJECT

private slots:
    void journalFollowsTheList();
};

namespace {

QStringList UnfinishedUrls(const JobListModel& model) {
    QStringList urls;
    for (int row = 0; row < model.rowCount(); ++row)
        if (IsUnfinished(model.Job(row)))
            urls << model.Job(row).url;
    return urls;
}

QStringList RecordedUrls(const JobJournal& journal) {
    QFile file(journal.Path());
    QList<DownloadJob> jobs;
    if (file.open(QIODevice::ReadOnly) && !ReadJournalText(file.readAll(), jobs))
        return {QStringLiteral("<unreadable>")};
    QStringList urls;
    for (const DownloadJob& job : jobs)
        urls << job.url;
    return urls;
}

} // namespace

void TestJournalKeeper::journalFollowsTheList() {
    QTemporaryDir folder;
    JobJournal journal(JobJournal::Kind::Window, folder.path());
    JobListModel model;
    JournalKeeper keeper(model, journal);
    QRandomGenerator random(31);
    int made = 0;
    const auto newUrls = [&made](int count) {
        QStringList urls;
        for (int i = 0; i < count; ++i)
            urls << QStringLiteral("https://videos.example/%1").arg(++made);
        return urls;
    };
    for (int step = 0; step < 300; ++step) {
        const int rows = model.rowCount();
        const int row = rows > 0 ? int(random.bounded(rows)) : 0;
        switch (random.bounded(rows > 0 ? 6 : 1)) {
        case 0: // a few addresses, or a long pasted list
            model.AppendAll(newUrls(random.bounded(10) == 0 ? 100 : int(random.bounded(1, 4))));
            break;
        case 1: { // a playlist's entries after its own row
            QList<DownloadJob> entries;
            for (const QString& url : newUrls(int(random.bounded(1, 5)))) {
                entries.append(DownloadJob());
                entries.last().url = url;
            }
            model.InsertAfter(row, entries);
            break;
        }
        case 2:
        case 3: { // a job moves on, ends, or is run again
            static const JobState states[] = {JobState::Downloading, JobState::Succeeded, JobState::Failed,
                                              JobState::Stopped, JobState::Idle};
            model.Job(row).state = states[random.bounded(5)];
            model.JobChanged(row);
            break;
        }
        case 4:
            model.RemoveJobs({row, int(random.bounded(rows))});
            break;
        case 5:
            if (random.bounded(20) == 0)
                model.Clear();
            break;
        }
        // Sometimes several changes go together into one turn of the event loop.
        if (random.bounded(3) == 0)
            continue;
        keeper.Flush();
        QCOMPARE(RecordedUrls(journal), UnfinishedUrls(model));
    }
    for (int row = 0; row < model.rowCount(); ++row) {
        model.Job(row).state = JobState::Succeeded;
        model.JobChanged(row);
    }
    keeper.Flush();
    QVERIFY(!QFile::exists(journal.Path())); // nothing unfinished: no journal
}

QTEST_GUILESS_MAIN(TestJournalKeeper)
#include "tst_journalkeeper.moc"
