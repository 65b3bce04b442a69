// The timed acquisition: N marker readings a reading interval apart reduced to one point (X of the
// last reading, mean Y, population standard deviation of Y), the progress bar, the Start/Stop
// button and its controls, a run stopped early, and Start pressed while a stopped run still
// waits for its last reading.
#include <QComboBox>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QThread>

#include <cmath>
#include <memory>

#include "app/mainwindow.h"
#include "fakegpib/fakegpib.h"
#include "instrumenttesthelpers.h"
#include "testhelpers.h"

using instrumenttest::BoxAnswerer;

// The reading interval of these tests: the program's 500 ms would only make them slow.
constexpr int pace = 50;

class TestAcquisition : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tenReadingsAtTheirPace();
    void zeroReadingsTakeOne();
    void oneReading();
    void controlsDuringARun();
    void progressTruncates();
    void stopAfterThreeAppendsFour();
    void startWhileStoppingIsIgnored();
    void switchedOffAnalyserStopsTheRun();
    void failedReadingEndsTheRun();
    void equalReadingsGiveZeroSpread();
    void dyKindAndMovedMarker_data();
    void dyKindAndMovedMarker();
    void smallSpreadBesideALargeMean_data();
    void smallSpreadBesideALargeMean();
    void runEndingWhileClosingIsAsked();
    void closingDuringARunAsks_data();
    void closingDuringARunAsks();

private:
    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QAbstractItemModel *model() const { return testhelpers::tableModel(window); }
    double cell(int row, int column) const { return testhelpers::cell(window, row, column); }
    // Scripts one marker reading per entry of ys, X at 1000 times its number.
    void script(const QList<QByteArray> &ys)
    {
        for (int i = 0; i < ys.size(); ++i) {
            fake->script.answer("CALC:MARK:X?", QByteArray::number(1000 * (i + 1)) + '\n');
            fake->script.answer("CALC:MARK:Y?", ys[i] + '\n');
        }
    }
    int readings() const { return fake->script.callsSoFar().count(QStringLiteral("ibonl(17, 0)")); }
    void start(int count)
    {
        child<QSpinBox>("sbPointsCount")->setValue(count);
        child<QPushButton>("pbStartMeasure")->click();
    }
    // Waits until the run has appended its point.
    bool waitForPoint(int rows, int timeoutMs)
    {
        return QTest::qWaitFor([&] { return model()->rowCount() == rows; }, timeoutMs);
    }
    void checkIdle() const
    {
        QCOMPARE(child<QPushButton>("pbStartMeasure")->text(), QStringLiteral("Start"));
        QVERIFY(child<QPushButton>("pbStartMeasure")->isEnabled());
        QVERIFY(child<QSpinBox>("sbGpibAddress")->isEnabled());
        QVERIFY(child<QSpinBox>("sbPointsCount")->isEnabled());
        QVERIFY(child<QPushButton>("pbSearchPeak")->isEnabled());
        QVERIFY(child<QPushButton>("pbGetMarkerPos")->isEnabled());
    }

    std::unique_ptr<FakeGpib> fake;
    MainWindow *window = nullptr;
    std::unique_ptr<BoxAnswerer> boxes;
};

void TestAcquisition::init()
{
    fake = std::make_unique<FakeGpib>();
    GpibDriver::setCurrent(fake.get());
    window = new MainWindow;
    window->setReadingInterval(pace);
    boxes = std::make_unique<BoxAnswerer>();
}

// A run still going ends with the window, before the fake driver goes.
void TestAcquisition::cleanup()
{
    boxes.reset();
    delete window;
    window = nullptr;
    GpibDriver::setCurrent(nullptr);
    QCOMPARE(fake->script.misuses, 0);
    fake.reset();
}

void TestAcquisition::tenReadingsAtTheirPace()
{
    script({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"});
    testhelpers::DebugCapture debug;
    start(10);
    QVERIFY(QTest::qWaitFor([&] { return readings() >= 1; }, 5000));
    QVERIFY(waitForPoint(1, 10000));

    QCOMPARE(cell(0, 0), 10000.0);
    QCOMPARE(cell(0, 1), 5.5);
    QCOMPARE(cell(0, 2), std::sqrt(8.25));
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Point added: X = 10000; Y = 5.5; dY = 2.87228; X moved by 9000 during "
                            "the run"));
    QCOMPARE(child<QProgressBar>("progressBar")->value(), 100);
    QCOMPARE(debug.count(QStringLiteral("Update graph")), 1);
    checkIdle();

    // Each reading is one whole connection; the next one starts an interval after it ends.
    const QStringList reading = {"ibdev(0, 21, 0, 11, 1, 0)",
                                 "ibclr(17)",
                                 "ibwrt(17, SYST:DISP:UPD ON, 16)",
                                 "ibwrt(17, CALC:MARK:X?, 12)",
                                 "ibrd(17, 1024)",
                                 "ibwrt(17, CALC:MARK:Y?, 12)",
                                 "ibrd(17, 1024)",
                                 "ibonl(17, 0)"};
    QCOMPARE(fake->script.calls.size(), 10 * reading.size());
    for (int i = 0; i < 10; ++i)
        QCOMPARE(fake->script.calls.mid(i * reading.size(), reading.size()), reading);
    for (int i = 1; i < 10; ++i) {
        const qint64 gap = fake->script.callTimes[i * reading.size()] -
                           fake->script.callTimes[i * reading.size() - 1];
        QVERIFY2(gap >= pace,
                 qPrintable(QStringLiteral("gap %1 ms before reading %2").arg(gap).arg(i + 1)));
    }

    // Nothing follows the run.
    QTest::qWait(3 * pace);
    QCOMPARE(readings(), 10);
}

void TestAcquisition::zeroReadingsTakeOne()
{
    script({"-7.25"});
    start(0);
    QVERIFY(waitForPoint(1, 3000));
    QCOMPARE(readings(), 1);
    QCOMPARE(cell(0, 0), 1000.0);
    QCOMPARE(cell(0, 1), -7.25);
    QCOMPARE(cell(0, 2), 0.0);
    QCOMPARE(child<QProgressBar>("progressBar")->value(), 100);
    checkIdle();
    QTest::qWait(3 * pace);
    QCOMPARE(readings(), 1);
}

void TestAcquisition::oneReading()
{
    script({"0.1"});
    start(1);
    QVERIFY(waitForPoint(1, 3000));
    QCOMPARE(cell(0, 0), 1000.0);
    QCOMPARE(cell(0, 1), 0.1);
    QCOMPARE(cell(0, 2), 0.0);
    // A spread of 0 from one reading is not a known spread.
    QCOMPARE(
        window->statusBar()->currentMessage(),
        QStringLiteral("Point added: X = 1000; Y = 0.1; dY = 0 (one reading: spread unknown)"));
    checkIdle();

    // The next run starts from cleared sums.
    script({"4"});
    start(1);
    QVERIFY(waitForPoint(2, 3000));
    QCOMPARE(cell(1, 1), 4.0);
}

void TestAcquisition::controlsDuringARun()
{
    script({"1", "2"});
    QSignalSpy progress(child<QProgressBar>("progressBar"), &QProgressBar::valueChanged);
    start(2);
    QCOMPARE(child<QPushButton>("pbStartMeasure")->text(), QStringLiteral("Stop"));
    QVERIFY(child<QPushButton>("pbStartMeasure")->isEnabled());
    QVERIFY(!child<QSpinBox>("sbGpibAddress")->isEnabled());
    QVERIFY(!child<QSpinBox>("sbPointsCount")->isEnabled());
    QVERIFY(!child<QPushButton>("pbSearchPeak")->isEnabled());
    QVERIFY(!child<QPushButton>("pbGetMarkerPos")->isEnabled());
    QVERIFY(!child<QComboBox>("cbInterface")->isEnabled());
    QVERIFY(waitForPoint(1, 3000));
    QCOMPARE(progress.value(0).value(0).toInt(), 50);
    checkIdle();
}

void TestAcquisition::progressTruncates()
{
    script({"1", "2", "3"});
    QSignalSpy progress(child<QProgressBar>("progressBar"), &QProgressBar::valueChanged);
    start(3);
    QVERIFY(waitForPoint(1, 3000));
    QCOMPARE(progress.size(), 3);
    QCOMPARE(progress[0][0].toInt(), 33);
    QCOMPARE(progress[1][0].toInt(), 66);
    QCOMPARE(progress[2][0].toInt(), 100);
}

// Stop does not cut the run off: the reading already scheduled comes and closes it. The point
// says from how many readings it is, and the progress bar keeps their share.
void TestAcquisition::stopAfterThreeAppendsFour()
{
    script({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"});
    window->setReadingInterval(4 * pace); // time enough to press Stop before the fourth
    start(10);
    QVERIFY(QTest::qWaitFor([&] { return child<QProgressBar>("progressBar")->value() == 30; }));
    child<QPushButton>("pbStartMeasure")->click();
    checkIdle();
    QCOMPARE(model()->rowCount(), 0);

    QVERIFY(waitForPoint(1, 3000));
    QCOMPARE(readings(), 4);
    QCOMPARE(cell(0, 0), 4000.0);
    QCOMPARE(cell(0, 1), 2.5);
    QCOMPARE(cell(0, 2), std::sqrt(1.25));
    QCOMPARE(child<QProgressBar>("progressBar")->value(), 40);
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Point added from 4 of 10 readings: X = 4000; Y = 2.5; dY = 1.11803; X "
                            "moved by 3000 during the run. Stop was pressed"));
    QTest::qWait(3 * pace);
    QCOMPARE(readings(), 4);
    QCOMPARE(model()->rowCount(), 1);
}

// Start pressed between Stop and the stopped run's last reading does nothing: one chain of
// readings, and the stopped run's point is built from its own readings only.
void TestAcquisition::startWhileStoppingIsIgnored()
{
    script({"2", "4", "100", "100"});
    window->setReadingInterval(10 * pace); // time enough to press Stop and Start in between
    start(10);
    auto *button = child<QPushButton>("pbStartMeasure");
    QVERIFY(QTest::qWaitFor([&] { return child<QProgressBar>("progressBar")->value() == 10; }));
    button->click(); // Stop
    QCOMPARE(button->text(), QStringLiteral("Start"));
    button->click(); // Start, while the second reading is still pending
    QCOMPARE(readings(), 1);
    QCOMPARE(button->text(), QStringLiteral("Start"));

    QVERIFY(waitForPoint(1, 3000));
    QCOMPARE(readings(), 2);
    QCOMPARE(cell(0, 1), 3.0);
    QCOMPARE(cell(0, 2), 1.0);
    QTest::qWait(3 * pace);
    QCOMPARE(readings(), 2);
    checkIdle();

    // Once the old run is closed, Start starts a new one from cleared sums.
    start(1);
    QVERIFY(waitForPoint(2, 3000));
    QCOMPARE(cell(1, 1), 100.0);
    QCOMPARE(cell(1, 2), 0.0);
}

// An analyser switched off fails the clear of every connection: the run shows one box, adds
// no point and says why; the controls are free again and no reading follows.
void TestAcquisition::switchedOffAnalyserStopsTheRun()
{
    fake->script.failIbclr({0x8100, 2, 0});
    start(10);
    QTRY_COMPARE(boxes->boxes().size(), 1);
    QTRY_COMPARE(child<QPushButton>("pbStartMeasure")->text(), QStringLiteral("Start"));
    QCOMPARE(boxes->boxes()[0].text,
             QStringLiteral("ibclr error\r\nibsta = 0x8100, iberr = 0x2\r\nibsta ===> ERR CMPL "
                            "\r\niberr ===> ENOL \r\nibcnt = 0"));
    checkIdle();
    QCOMPARE(model()->rowCount(), 0);
    QCOMPARE(child<QProgressBar>("progressBar")->value(), 0);
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Measurement stopped: no reading succeeded. No instrument answers at "
                            "GPIB address 21."));
    QTest::qWait(3 * pace);
    QCOMPARE(boxes->boxes().size(), 1);
    QCOMPARE(fake->script.calls.size(), 3);
}

// A reading that times out after two good ones ends the run at once: the point is built from
// the two and says so, and the progress bar keeps their share.
void TestAcquisition::failedReadingEndsTheRun()
{
    script({"3", "5"});
    start(5);
    QVERIFY(waitForPoint(1, 3000));
    QCOMPARE(boxes->boxes().size(), 1);
    QVERIFY(boxes->boxes()[0].text.startsWith(QStringLiteral("ibrd error\r\n")));
    QCOMPARE(cell(0, 0), 2000.0);
    QCOMPARE(cell(0, 1), 4.0);
    QCOMPARE(cell(0, 2), 1.0);
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Point added from 2 of 5 readings: X = 2000; Y = 4; dY = 1; X moved by "
                            "1000 during the run. GPIB ibrd error"));
    QCOMPARE(child<QProgressBar>("progressBar")->value(), 40);
    checkIdle();
    QTest::qWait(3 * pace);
    QCOMPARE(readings(), 3);
    QCOMPARE(boxes->boxes().size(), 1);
}

// 33 equal readings of 1.9694639444351196 leave the variance term a hair below zero through
// rounding; the point then gets dY 0, not NaN.
void TestAcquisition::equalReadingsGiveZeroSpread()
{
    const int count = 33;
    const double reading = 1.9694639444351196;
    double sum = 0, sum2 = 0;
    for (int i = 0; i < count; ++i) {
        sum += reading;
        sum2 += reading * reading;
    }
    const double mean = sum / count;
    QVERIFY(sum2 / count - mean * mean < 0);

    for (int i = 0; i < count; ++i)
        script({"1.9694639444351196"});
    start(count);
    QVERIFY(waitForPoint(1, count * (pace + 100) + 5000));
    QCOMPARE(readings(), count);
    QCOMPARE(cell(0, 1), mean);
    QCOMPARE(cell(0, 2), 0.0);
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Point added: X = 1000; Y = 1.96946; dY = 0"));
}

void TestAcquisition::dyKindAndMovedMarker_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<QByteArray>>("xs");
    QTest::addColumn<QList<QByteArray>>("ys");
    QTest::addColumn<double>("dY");
    QTest::addColumn<QString>("message");
    const QList<QByteArray> still = {"5e6", "5e6", "5e6", "5e6"};
    // 1, 2, 3, 4: mean 2.5, squared deviations 5; spread sqrt(5/4), standard error sqrt(5/3)/2.
    QTest::newRow("spread") << 0 << still << QList<QByteArray>{"1", "2", "3", "4"}
                            << std::sqrt(1.25) << "Point added: X = 5e+06; Y = 2.5; dY = 1.11803";
    QTest::newRow("standard error")
        << 1 << still << QList<QByteArray>{"1", "2", "3", "4"} << std::sqrt(5.0 / 3) / 2
        << "Point added: X = 5e+06; Y = 2.5; dY = 0.645497 (standard error of 4 readings)";
    QTest::newRow("standard error of one reading")
        << 1 << QList<QByteArray>{"1000"} << QList<QByteArray>{"7"} << 0.0
        << "Point added: X = 1000; Y = 7; dY = 0 (one reading: standard error unknown)";
    QTest::newRow("marker moved")
        << 1 << QList<QByteArray>{"1250", "1000", "1100"} << QList<QByteArray>{"2", "4", "6"}
        << 2 / std::sqrt(3.0)
        << "Point added: X = 1100; Y = 4; dY = 1.1547 (standard error of 3 readings); X moved by "
           "250 during the run";
}

// What dY is follows the dY field: the spread of the readings or the standard error of their
// mean; a marker that moved during the run is reported with the last X kept.
void TestAcquisition::dyKindAndMovedMarker()
{
    QFETCH(int, kind);
    QFETCH(QList<QByteArray>, xs);
    QFETCH(QList<QByteArray>, ys);
    QFETCH(double, dY);
    QFETCH(QString, message);
    for (int i = 0; i < ys.size(); ++i) {
        fake->script.answer("CALC:MARK:X?", xs[i] + '\n');
        fake->script.answer("CALC:MARK:Y?", ys[i] + '\n');
    }
    child<QComboBox>("cbDyKind")->setCurrentIndex(kind);
    start(ys.size());
    QVERIFY(waitForPoint(1, 5000));
    QCOMPARE(cell(0, 0), xs.last().toDouble());
    QVERIFY2(std::abs(cell(0, 2) - dY) <= 1e-6 * std::max(dY, 1.0),
             qPrintable(QString::number(cell(0, 2))));
    QCOMPARE(window->statusBar()->currentMessage(), message);
}

void TestAcquisition::smallSpreadBesideALargeMean_data()
{
    QTest::addColumn<QList<QByteArray>>("ys");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("spread");
    QTest::newRow("1e8 ± 0.1") << QList<QByteArray>{"100000000.1", "99999999.9", "100000000.1",
                                                    "99999999.9"}
                               << 1e8 << 0.1;
    QTest::newRow("12345678.9 ± 0.0005")
        << QList<QByteArray>{"12345678.9005", "12345678.8995", "12345678.9005", "12345678.8995"}
        << 12345678.9 << 0.0005;
    QTest::newRow("ordinary readings")
        << QList<QByteArray>{"-20", "-21", "-22", "-23"} << -21.5 << std::sqrt(1.25);
}

// The spread of readings close together far from zero keeps its digits: a sum of squares
// loses them all (1e8 ± 0.1 gave dY 0, 12345678.9 ± 0.0005 gave 0.1768).
void TestAcquisition::smallSpreadBesideALargeMean()
{
    QFETCH(QList<QByteArray>, ys);
    QFETCH(double, mean);
    QFETCH(double, spread);
    script(ys);
    start(ys.size());
    QVERIFY(waitForPoint(1, 10000));
    QCOMPARE(cell(0, 1), mean);
    QVERIFY2(std::abs(cell(0, 2) - spread) <= 1e-4 * spread,
             qPrintable(QString::number(cell(0, 2))));
}

// A run whose last reading comes while the close question is up must not leave the window
// waiting for it: its end is heard, however late the answer.
void TestAcquisition::runEndingWhileClosingIsAsked()
{
    script({"1", "3"});
    window->setReadingInterval(10 * pace);
    window->show();
    start(2);
    QVERIFY(QTest::qWaitFor([&] { return child<QProgressBar>("progressBar")->value() == 50; }));
    boxes.reset();
    int asked = 0;
    testhelpers::answerModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return false;
        if (++asked == 1) {
            // The run ends on its own thread while the question is still up.
            while (readings() < 2)
                QThread::msleep(5);
            QThread::msleep(50);
            box->buttons().constFirst()->click();
        } else {
            box->button(QMessageBox::Discard)->click();
        }
        return asked == 2;
    });
    window->close();
    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(model()->rowCount(), 1);
    QCOMPARE(cell(0, 1), 2.0);
}

void TestAcquisition::closingDuringARunAsks_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("points");
    QTest::newRow("Stop and Keep") << "Stop and Keep" << true << 1;
    QTest::newRow("Discard") << "Discard" << true << 0;
    QTest::newRow("Cancel") << "Cancel" << false << 0;
}

// Closing while a run is going asks first. Stop and Keep adds the point of the readings taken
// so far, and then the table's unsaved points are asked about as ever.
void TestAcquisition::closingDuringARunAsks()
{
    QFETCH(QString, answer);
    QFETCH(bool, closes);
    QFETCH(int, points);
    for (int i = 0; i < 20; ++i)
        script({QByteArray::number(i)});
    window->setReadingInterval(20 * pace);
    window->show();
    start(20);
    QVERIFY(QTest::qWaitFor([&] { return child<QProgressBar>("progressBar")->value() == 5; }));
    boxes.reset();
    QStringList questions;
    testhelpers::answerModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return false;
        questions << box->text();
        QAbstractButton *button = box->button(QMessageBox::Discard);
        if (questions.size() == 1 && answer == "Cancel")
            button = box->button(QMessageBox::Cancel);
        if (questions.size() == 1 && answer == "Stop and Keep")
            button = box->buttons().constFirst();
        questions << button->text().remove('&');
        QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
        return questions.size() == (points > 0 ? 4 : 2);
    });
    // The window closes once the run's end has come.
    window->close();
    QTRY_COMPARE(window->isVisible(), !closes);
    QCOMPARE(questions.value(0), QStringLiteral("A measurement is running (1 of 20 readings)."));
    QCOMPARE(questions.value(1), answer);
    QCOMPARE(model()->rowCount(), points);
    if (points > 0)
        QCOMPARE(questions.value(2), QStringLiteral("The table holds 1 points that have not been "
                                                    "saved."));
    QCOMPARE(child<QPushButton>("pbStartMeasure")->text(), closes ? "Start" : "Stop");
}

VANTOREL_TEST_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
