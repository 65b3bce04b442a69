// The simulated analyser: it keeps to the bus protocol of a real one (nothing to read before a
// query, one number and a line feed per query, END with the last byte, descriptors and errors
// as an NI-488.2 driver gives them), its tone walks through the frequency list with the peak
// searches, and its readings follow the IF roll-off, repeatably for a seed.
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>

#include <cmath>
#include <memory>

#include "app/mainwindow.h"
#include "instrument/markerposition.h"
#include "instrument/simulatedanalyser.h"
#include "instrumenttesthelpers.h"
#include "testhelpers.h"

class TestSimulatedAnalyser : public QObject
{
    Q_OBJECT

private slots:
    void nothingToReadBeforeAQuery();
    void replyFormatCountAndEnd();
    void shortReadsLeaveTheRestWithoutEnd();
    void newCommandDiscardsUnreadReply();
    void addressesBoardsAndDescriptors();
    void toneWalksThroughTheFrequencies();
    void readingsFollowTheRollOff();
    void analyserFollowsTheSource_data();
    void analyserFollowsTheSource();
    void sameSeedSameReadings();
    void demoInTheWindow();

private:
    // Sends command and returns the reply bytes (empty on a time-out).
    static QByteArray query(GpibDriver &driver, int device, const QByteArray &command)
    {
        driver.ibwrt(device, command.constData(), command.size());
        char buffer[1024];
        driver.ibrd(device, buffer, sizeof buffer);
        return QByteArray(buffer, driver.ThreadIbcnt());
    }
    static double value(GpibDriver &driver, int device, const QByteArray &command)
    {
        return query(driver, device, command).trimmed().toDouble();
    }
    static int open(GpibDriver &driver)
    {
        return driver.ibdev(0, SimulatedAnalyser::address, 0, 11, 1, 0);
    }
};

void TestSimulatedAnalyser::nothingToReadBeforeAQuery()
{
    SimulatedAnalyser analyser;
    const int device = open(analyser);
    analyser.ibclr(device);
    QCOMPARE(analyser.ThreadIbsta() & GpibDriver::ERR, 0);
    char buffer[16];
    analyser.ibrd(device, buffer, sizeof buffer);
    QCOMPARE(analyser.ThreadIbsta(), GpibDriver::ERR | GpibDriver::TMO | GpibDriver::CMPL);
    QCOMPARE(analyser.ThreadIberr(), GpibDriver::EABO);
    QCOMPARE(analyser.ThreadIbcnt(), 0);

    // A command that is not a query leaves nothing to read either.
    const QByteArray display("SYST:DISP:UPD ON");
    analyser.ibwrt(device, display.constData(), display.size());
    QCOMPARE(analyser.ThreadIbsta(), GpibDriver::CMPL);
    QCOMPARE(analyser.ThreadIbcnt(), display.size());
    analyser.ibrd(device, buffer, sizeof buffer);
    QVERIFY(analyser.ThreadIbsta() & GpibDriver::TMO);
}

void TestSimulatedAnalyser::replyFormatCountAndEnd()
{
    SimulatedAnalyser analyser;
    const int device = open(analyser);
    const QRegularExpression number(QStringLiteral("^[+-]\\d\\.\\d{8}E[+-]\\d{2}\\n$"));
    for (const QByteArray &command : {QByteArray("CALC:MARK:X?"), QByteArray("CALC:MARK:Y?")}) {
        const QByteArray reply = query(analyser, device, command);
        QVERIFY2(number.match(QString::fromLatin1(reply)).hasMatch(), reply.constData());
        QCOMPARE(analyser.ThreadIbsta(), GpibDriver::END | GpibDriver::CMPL);
        QCOMPARE(analyser.ThreadIbcnt(), reply.size());
    }
    QCOMPARE(query(analyser, device, "CALC:MARK:X?"), QByteArray("+5.00000000E+06\n"));
    analyser.ibonl(device, 0);
    QCOMPARE(analyser.ThreadIbsta(), GpibDriver::CMPL);
}

void TestSimulatedAnalyser::shortReadsLeaveTheRestWithoutEnd()
{
    SimulatedAnalyser analyser;
    const int device = open(analyser);
    const QByteArray command("CALC:MARK:X?");
    analyser.ibwrt(device, command.constData(), command.size());
    char buffer[10];
    analyser.ibrd(device, buffer, 10);
    QCOMPARE(analyser.ThreadIbsta(), GpibDriver::CMPL);
    QCOMPARE(QByteArray(buffer, analyser.ThreadIbcnt()), QByteArray("+5.0000000"));
    analyser.ibrd(device, buffer, 10);
    QCOMPARE(analyser.ThreadIbsta(), GpibDriver::END | GpibDriver::CMPL);
    QCOMPARE(QByteArray(buffer, analyser.ThreadIbcnt()), QByteArray("0E+06\n"));
}

void TestSimulatedAnalyser::newCommandDiscardsUnreadReply()
{
    SimulatedAnalyser analyser;
    const int device = open(analyser);
    const QByteArray command("CALC:MARK:X?");
    analyser.ibwrt(device, command.constData(), command.size());
    analyser.ibclr(device);
    char buffer[32];
    analyser.ibrd(device, buffer, sizeof buffer);
    QVERIFY(analyser.ThreadIbsta() & GpibDriver::TMO);

    analyser.ibwrt(device, command.constData(), command.size());
    const QByteArray max("CALC:MARK:MAX");
    analyser.ibwrt(device, max.constData(), max.size());
    analyser.ibrd(device, buffer, sizeof buffer);
    QVERIFY(analyser.ThreadIbsta() & GpibDriver::TMO);
}

void TestSimulatedAnalyser::addressesBoardsAndDescriptors()
{
    SimulatedAnalyser analyser;
    QCOMPARE(analyser.ibdev(1, 21, 0, 11, 1, 0), -1);
    QCOMPARE(analyser.ThreadIbsta() & GpibDriver::ERR, GpibDriver::ERR);
    QCOMPARE(analyser.ThreadIberr(), GpibDriver::ENEB);
    QCOMPARE(analyser.ibdev(0, 31, 0, 11, 1, 0), -1);
    QCOMPARE(analyser.ThreadIberr(), GpibDriver::EARG);

    // Nobody listens at another address: the clear fails with ENOL.
    const int elsewhere = analyser.ibdev(0, 5, 0, 11, 1, 0);
    QVERIFY(elsewhere > 0);
    analyser.ibclr(elsewhere);
    QCOMPARE(analyser.ThreadIbsta() & GpibDriver::ERR, GpibDriver::ERR);
    QCOMPARE(analyser.ThreadIberr(), GpibDriver::ENOL);

    // Descriptors are never 0 (which the window keeps for "no connection") and are reused.
    const int device = open(analyser);
    QVERIFY(device > 0 && device != elsewhere);
    analyser.ibonl(elsewhere, 0);
    QCOMPARE(open(analyser), elsewhere);

    // A freed descriptor is invalid.
    analyser.ibonl(device, 0);
    analyser.ibclr(device);
    QCOMPARE(analyser.ThreadIbsta() & GpibDriver::ERR, GpibDriver::ERR);
    QCOMPARE(analyser.ThreadIberr(), GpibDriver::EDVR);
}

void TestSimulatedAnalyser::analyserFollowsTheSource_data()
{
    QTest::addColumn<QByteArray>("centre");
    QTest::addColumn<bool>("onTone");
    QTest::newRow("never centred") << QByteArray() << true;
    QTest::newRow("centred on the tone") << QByteArray("FREQ:CENT 2000000") << true;
    QTest::newRow("centred 5 % off") << QByteArray("FREQ:CENT 2100000") << true;
    QTest::newRow("centred a decade off") << QByteArray("FREQ:CENT 200000") << false;
}

// Once the source at address 19 is tuned, the analyser's peak search finds its tone where the
// analyser is centred near it, at the source roll-off's level; elsewhere it sees the floor.
void TestSimulatedAnalyser::analyserFollowsTheSource()
{
    QFETCH(QByteArray, centre);
    QFETCH(bool, onTone);
    SimulatedAnalyser analyser;
    const int source = analyser.ibdev(0, SimulatedAnalyser::sourceAddress, 0, 11, 1, 0);
    QVERIFY(analyser.ibclr(source) == GpibDriver::CMPL);
    const QByteArray tune = "FREQ 2000000";
    analyser.ibwrt(source, tune.constData(), tune.size());
    QCOMPARE(query(analyser, source, "*OPC?"), QByteArray("1\n"));
    const int device = open(analyser);
    if (!centre.isEmpty())
        analyser.ibwrt(device, centre.constData(), centre.size());
    analyser.ibwrt(device, "CALC:MARK:MAX", 13);
    const double x = value(analyser, device, "CALC:MARK:X?");
    const double y = value(analyser, device, "CALC:MARK:Y?");
    if (onTone) {
        QCOMPARE(x, 2e6);
        QVERIFY(std::abs(y - SimulatedAnalyser::sourceLevel(2e6)) < 0.3);
        QVERIFY(std::abs(SimulatedAnalyser::sourceLevel(4e6) - (-20 - 10 * std::log10(2.0))) <
                1e-12);
    } else {
        QVERIFY(std::abs(y - SimulatedAnalyser::noiseFloor) < 6);
    }
}

void TestSimulatedAnalyser::toneWalksThroughTheFrequencies()
{
    const QVector<double> frequencies = SimulatedAnalyser::toneFrequencies();
    QCOMPARE(frequencies.size(), 16);
    QCOMPARE(frequencies.first(), 1e4);
    QCOMPARE(frequencies.last(), 1e7);
    for (int i = 1; i < frequencies.size(); ++i)
        QVERIFY(std::abs(frequencies[i] / frequencies[i - 1] - std::pow(10.0, 0.2)) < 1e-4);

    SimulatedAnalyser analyser;
    const int device = open(analyser);
    const QByteArray max("CALC:MARK:MAX");
    for (int round = 0; round < 2; ++round) {
        for (double frequency : frequencies) {
            analyser.ibwrt(device, max.constData(), max.size());
            QCOMPARE(value(analyser, device, "CALC:MARK:X?"), frequency);
            // The marker stays on the tone until the next peak search.
            QCOMPARE(value(analyser, device, "CALC:MARK:X?"), frequency);
        }
    }
}

// Readings at each tone frequency scatter around A - 10 log10(1 + (f / Fc)^2) by about 0.05 dB.
void TestSimulatedAnalyser::readingsFollowTheRollOff()
{
    QCOMPARE(SimulatedAnalyser::toneLevel(0), -20.0);
    QCOMPARE(SimulatedAnalyser::toneLevel(1.5e6), -20.0 - 10 * std::log10(2.0));

    SimulatedAnalyser analyser(7);
    const int device = open(analyser);
    const QByteArray max("CALC:MARK:MAX");
    for (double frequency : SimulatedAnalyser::toneFrequencies()) {
        analyser.ibwrt(device, max.constData(), max.size());
        double sum = 0, sum2 = 0;
        const int readings = 200;
        for (int i = 0; i < readings; ++i) {
            const double level = value(analyser, device, "CALC:MARK:Y?");
            sum += level;
            sum2 += level * level;
        }
        const double mean = sum / readings;
        const double deviation = std::sqrt(sum2 / readings - mean * mean);
        // Five standard errors of the mean; the spread within a quarter of its nominal value.
        QVERIFY2(std::abs(mean - SimulatedAnalyser::toneLevel(frequency)) <
                     5 * 0.05 / std::sqrt(200.0),
                 qPrintable(QString::number(frequency)));
        QVERIFY2(std::abs(deviation - 0.05) < 0.0125, qPrintable(QString::number(deviation)));
    }
}

void TestSimulatedAnalyser::sameSeedSameReadings()
{
    const auto readings = [](SimulatedAnalyser &&analyser) {
        const int device = open(analyser);
        QList<QByteArray> replies;
        for (int i = 0; i < 5; ++i)
            replies << query(analyser, device, "CALC:MARK:Y?");
        const QByteArray max("CALC:MARK:MAX");
        analyser.ibwrt(device, max.constData(), max.size());
        for (int i = 0; i < 5; ++i)
            replies << query(analyser, device, "CALC:MARK:Y?");
        return replies;
    };
    QCOMPARE(readings(SimulatedAnalyser(3)), readings(SimulatedAnalyser(3)));
    QVERIFY(readings(SimulatedAnalyser(3)) != readings(SimulatedAnalyser(4)));
    QCOMPARE(readings(SimulatedAnalyser()), readings(SimulatedAnalyser()));
}

// The window against the simulated analyser: Search Peak finds the tone, and a short
// acquisition there appends a point on the roll-off with a spread of the readings' noise.
void TestSimulatedAnalyser::demoInTheWindow()
{
    SimulatedAnalyser analyser;
    GpibDriver::setCurrent(&analyser);
    MainWindow window;
    window.setReadingInterval(50);
    instrumenttest::BoxAnswerer boxes;
    const auto button = [&](const char *name) {
        return window.findChild<QPushButton *>(QLatin1String(name));
    };

    // The marker position shown in the status bar, or {0, 0} for any other message.
    const auto shownMarker = [&window]() -> MarkerPosition {
        static const QRegularExpression shown(
            QStringLiteral("^Marker Pos: X = (\\S+); Y = (\\S+)$"));
        const QRegularExpressionMatch match = shown.match(window.statusBar()->currentMessage());
        if (!match.hasMatch())
            return {};
        return {match.captured(1).toDouble(), match.captured(2).toDouble()};
    };

    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos")));
    QCOMPARE(shownMarker().x, 5e6);
    QVERIFY(std::abs(shownMarker().y - SimulatedAnalyser::noiseFloor) < 5);
    QVERIFY(instrumenttest::pressAndWait(button("pbSearchPeak")));
    QCOMPARE(shownMarker().x, 1e4);
    QVERIFY(std::abs(shownMarker().y - SimulatedAnalyser::toneLevel(1e4)) < 0.25);
    QVERIFY(instrumenttest::pressAndWait(button("pbSearchPeak")));
    QCOMPARE(shownMarker().x, 15849.0);
    QVERIFY(std::abs(shownMarker().y - SimulatedAnalyser::toneLevel(15849)) < 0.25);

    window.findChild<QSpinBox *>(QStringLiteral("sbPointsCount"))->setValue(3);
    auto *model = testhelpers::tableModel(&window);
    button("pbStartMeasure")->click();
    QVERIFY(QTest::qWaitFor([&] { return model->rowCount() == 1; }, 5000));
    GpibDriver::setCurrent(nullptr);

    QCOMPARE(testhelpers::cell(&window, 0, 0), 15849.0);
    const double level = testhelpers::cell(&window, 0, 1);
    QVERIFY(std::abs(level - SimulatedAnalyser::toneLevel(15849)) < 0.2);
    const double spread = testhelpers::cell(&window, 0, 2);
    QVERIFY(spread > 0 && spread < 0.2);
    QVERIFY(boxes.boxes().isEmpty());

    // The simulated analyser is an interface of its own: the GPIB address, hidden for it,
    // does not move it.
    window.findChild<QSpinBox *>(QStringLiteral("sbGpibAddress"))->setValue(5);
    QVERIFY(window.findChild<QSpinBox *>(QStringLiteral("sbGpibAddress"))->isHidden());
    GpibDriver::setCurrent(&analyser);
    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos")));
    GpibDriver::setCurrent(nullptr);
    QVERIFY(boxes.boxes().isEmpty());
    QCOMPARE(shownMarker().x, 15849.0);
}

VANTOREL_TEST_MAIN(TestSimulatedAnalyser)
#include "tst_simulatedanalyser.moc"
