#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QWidget>

#include <atomic>

#include "app/backgroundwork.h"
#include "testhelpers.h"

// The one way the window runs work beside itself: short work ends before start() returns,
// long work shows its progress in a dialog, can be cancelled there, and its end comes by signal.
class TestBackgroundWork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QProgressDialog *>(); }
    void shortWorkEndsBeforeStartReturns();
    void longWorkShowsProgressAndEndsBySignal_data();
    void longWorkShowsProgressAndEndsBySignal();
};

void TestBackgroundWork::shortWorkEndsBeforeStartReturns()
{
    QWidget window;
    BackgroundWork work(&window, QStringLiteral("Progress"));
    QSignalSpy finished(&work, &BackgroundWork::finished);
    QSignalSpy shown(&work, &BackgroundWork::dialogShown);
    int runs = 0;
    QVERIFY(work.start(QStringLiteral("Reading"), [&runs](BackgroundWork::Progress &) {
        ++runs;
        return true;
    }));
    QCOMPARE(runs, 1);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QVERIFY(!work.isRunning());
    QCOMPARE(shown.count(), 0);
    // The queued end of the thread that ran it changes nothing later.
    QTest::qWait(50);
    QCOMPARE(finished.count(), 1);
}

void TestBackgroundWork::longWorkShowsProgressAndEndsBySignal_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("runs to its end") << false;
    QTest::newRow("cancelled in the dialog") << true;
}

// The work counts to 40 of 80 and waits there; the dialog shows half, then either the test lets
// the work go on to its end, or presses Cancel.
void TestBackgroundWork::longWorkShowsProgressAndEndsBySignal()
{
    QFETCH(bool, cancelled);
    QWidget window;
    window.show();
    BackgroundWork work(&window, QStringLiteral("Progress"));
    work.setDialogDelay(0);
    int hooks = 0;
    work.setCancelHook([&hooks] { ++hooks; });
    QSignalSpy finished(&work, &BackgroundWork::finished);
    QSignalSpy shown(&work, &BackgroundWork::dialogShown);
    std::atomic<bool> release{false};
    std::atomic<bool> halfway{false};
    QVERIFY(work.start(QStringLiteral("Reading"), [&](BackgroundWork::Progress &progress) {
        progress.total = 80;
        progress.done = 40;
        halfway = true;
        while (!release && !progress.cancel)
            QThread::msleep(2);
        if (progress.cancel)
            return false;
        progress.done = 80;
        return true;
    }));
    QCOMPARE(shown.count(), 1);
    QCOMPARE(finished.count(), 0);
    QVERIFY(work.isRunning());
    auto *dialog = shown.at(0).at(0).value<QProgressDialog *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), QStringLiteral("Progress"));
    QCOMPARE(dialog->labelText(), QStringLiteral("Reading"));
    QCOMPARE(QApplication::activeModalWidget(), dialog);
    QVERIFY(!work.start(QStringLiteral("Again"), [](BackgroundWork::Progress &) { return true; }));
    QTRY_VERIFY(halfway);
    QTRY_COMPARE(dialog->value(), 50);

    if (cancelled)
        dialog->findChild<QPushButton *>()->click();
    else
        release = true;
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), !cancelled);
    QCOMPARE(hooks, cancelled ? 1 : 0);
    QVERIFY(!work.isRunning());
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);

    // The next piece of work starts as the first did.
    QVERIFY(work.start(QStringLiteral("Next"), [](BackgroundWork::Progress &) { return true; }));
    QTRY_COMPARE(finished.count(), 2);
}

VANTOREL_TEST_MAIN(TestBackgroundWork)
#include "tst_backgroundwork.moc"
