#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

#include "instrument/boundedcall.h"

// Calls without a time-out of their own, bounded: an answer in time is returned, a late one is
// abandoned, counted until it comes back, and handed to its orphan handler then.
class TestBoundedCall : public QObject
{
    Q_OBJECT

private slots:
    void answerInTimeIsReturned();
    void lateCallIsAbandonedAndJoined();
};

void TestBoundedCall::answerInTimeIsReturned()
{
    int orphans = 0;
    const std::optional<int> result = BoundedCall::run<int>(
        5000, [] { return 42; }, [&orphans](int) { ++orphans; });
    QCOMPARE(result, std::optional<int>(42));
    QCOMPARE(orphans, 0);
    QCOMPARE(BoundedCall::abandonedRunning(), 0);
}

void TestBoundedCall::lateCallIsAbandonedAndJoined()
{
    std::atomic<bool> release{false};
    std::atomic<int> orphaned{0};
    const std::optional<int> result = BoundedCall::run<int>(
        20,
        [&release] {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return 7;
        },
        [&orphaned](int value) { orphaned = value; });
    QCOMPARE(result, std::nullopt);
    QCOMPARE(BoundedCall::abandonedRunning(), 1);
    QVERIFY(!BoundedCall::joinAbandoned(20));

    release = true;
    QVERIFY(BoundedCall::joinAbandoned(5000));
    QCOMPARE(BoundedCall::abandonedRunning(), 0);
    QCOMPARE(orphaned.load(), 7);
}

QTEST_GUILESS_MAIN(TestBoundedCall)
#include "tst_boundedcall.moc"
