// What the jobs of one run share: the scheduler's caps and order, the names they deliver to,
// the converter's slots and the one speed limit.

#include "queue/converterslots.h"
#include "queue/jobscheduler.h"
#include "queue/outputclaims.h"
#include "retrieval/transfer/sharedrate.h"

#include <QRandomGenerator>
#include <QTest>
#include <array>
#include <atomic>
#include <thread>

using namespace Tarnwick;

class TestRunSharing : public QObject {
    Q_OBJECT

private slots:
    void siteIsTheHostName_data();
    void siteIsTheHostName();
    void schedulerKeepsCapsAndOrder();
    void aNameHeldByAnotherJobIsTaken();
    void converterSlotsBoundTheConversions();
    void sharedRateHoldsTheSumAndSharesIt();
};

void TestRunSharing::siteIsTheHostName_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("site");
    QTest::newRow("host") << "https://Video.Example/watch?v=1"
                          << "video.example";
    QTest::newRow("ports of one host are one site") << "http://127.0.0.1:8123/a"
                                                    << "127.0.0.1";
    QTest::newRow("no host: the text itself") << " not an address "
                                              << "not an address";
}

void TestRunSharing::siteIsTheHostName() {
    QFETCH(QString, url);
    QFETCH(QString, site);
    QCOMPARE(SiteOf(url), site);
}

// A seeded simulation: rows of three sites, limits that change between starts, jobs that end
// in any order and rows appended meanwhile. At every step the caps hold, and every row starts
// exactly once, the rows of one site in list order.
void TestRunSharing::schedulerKeepsCapsAndOrder() {
    for (quint32 seed = 1; seed <= 40; ++seed) {
        QRandomGenerator random(seed);
        QList<JobScheduler::Row> rows;
        const auto append = [&] {
            const quint64 id = quint64(rows.size()) + 1;
            rows.append({id, QStringLiteral("site%1").arg(random.bounded(3))});
        };
        for (int i = 0; i < 12; ++i)
            append();
        JobScheduler scheduler;
        QList<JobScheduler::Row> inProgress;
        QList<quint64> startOrder;
        for (int step = 0; step < 400 && (scheduler.HasWaiting(rows) || !inProgress.isEmpty()); ++step) {
            const RunLimits limits{1 + int(random.bounded(4)), 1 + int(random.bounded(3))};
            if (random.bounded(10) == 0)
                append();
            const std::optional<int> next = scheduler.NextToStart(rows, limits);
            if (next && random.bounded(3) != 0) {
                QVERIFY(scheduler.InProgress() < limits.atOnce);
                QVERIFY(scheduler.InProgressOf(rows[*next].site) < limits.perSite);
                // Every row before it that has not started is of a site at its cap.
                for (int earlier = 0; earlier < *next; ++earlier)
                    QVERIFY(startOrder.contains(rows[earlier].id) ||
                            scheduler.InProgressOf(rows[earlier].site) >= limits.perSite);
                scheduler.Started(rows[*next]);
                inProgress.append(rows[*next]);
                startOrder.append(rows[*next].id);
            } else if (!inProgress.isEmpty()) {
                const JobScheduler::Row ended = inProgress.takeAt(int(random.bounded(inProgress.size())));
                scheduler.Finished(ended.id);
            } else {
                QVERIFY2(next.has_value(), "nothing in progress, yet nothing may start");
            }
            QCOMPARE(scheduler.InProgress(), int(inProgress.size()));
        }
        QVERIFY(!scheduler.HasWaiting(rows));
        QCOMPARE(startOrder.size(), rows.size());
        for (int site = 0; site < 3; ++site) {
            QList<quint64> ofSite;
            for (quint64 id : std::as_const(startOrder))
                if (rows[int(id) - 1].site == QStringLiteral("site%1").arg(site))
                    ofSite.append(id);
            QVERIFY2(std::is_sorted(ofSite.begin(), ofSite.end()), qPrintable(QString::number(seed)));
        }
    }
}

void TestRunSharing::aNameHeldByAnotherJobIsTaken() {
    OutputClaims claims;
    const QString name = QStringLiteral("/out/Clip.mp4");
    QVERIFY(claims.Claim(1, name));
    QVERIFY(claims.Claim(1, name)); // its own claim again
    QVERIFY(!claims.Claim(2, QStringLiteral("/out/./clip.MP4")));
    claims.Release(1);
    QVERIFY(!claims.Claim(3, name)); // job 2 still holds it
    claims.Release(2);
    QVERIFY(claims.Claim(3, name));
}

void TestRunSharing::converterSlotsBoundTheConversions() {
    ConverterSlots converter(2);
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    std::vector<std::thread> jobs;
    for (int i = 0; i < 6; ++i)
        jobs.emplace_back([&] {
            const ConverterSlots::Turn turn(&converter, nullptr, {});
            const int now = ++inside;
            for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            --inside;
        });
    for (std::thread& job : jobs)
        job.join();
    QCOMPARE(most.load(), 2);

    // A stop ends the wait of a job whose turn has not come.
    const ConverterSlots::Turn first(&converter, nullptr, {});
    const ConverterSlots::Turn second(&converter, nullptr, {});
    const ConverterSlots::Turn third(&converter, nullptr, [] { return true; });
    QVERIFY(!third.Taken());
}

// Three transfers take blocks of the sizes a connection delivers for a second: together they
// reach the limit, and each gets about its third, though one asks in blocks four times larger.
void TestRunSharing::sharedRateHoldsTheSumAndSharesIt() {
    constexpr qint64 limit = 8 * 1024 * 1024;
    SharedRate rate(limit);
    std::atomic<bool> over{false};
    std::array<std::atomic<qint64>, 3> taken{};
    std::vector<std::thread> transfers;
    for (int i = 0; i < 3; ++i)
        transfers.emplace_back([&, i] {
            const qint64 block = i == 0 ? 64 * 1024 : 16 * 1024;
            SharedRate::Taker taker(&rate);
            while (taker.Take(block, [&] { return over.load(); }))
                taken[size_t(i)] += block;
        });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    over = true;
    for (std::thread& transfer : transfers)
        transfer.join();
    const double sum = double(taken[0] + taken[1] + taken[2]);
    QVERIFY2(sum > 0.9 * limit && sum < 1.1 * limit + 3 * 64 * 1024,
             qPrintable(QString::number(sum / limit)));
    for (const auto& one : taken)
        QVERIFY2(double(one) > 0.25 * sum, qPrintable(QString::number(double(one) / sum)));
}

QTEST_GUILESS_MAIN(TestRunSharing)
#include "tst_runsharing.moc"
