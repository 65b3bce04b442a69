// The frequency sweep: its plan, the fields that refuse a plan, and whole sweeps in the real
// window against a stand-in analyser and source on 127.0.0.1 (or the simulated pair), with the
// commands each step sends, its failures, Stop, Undo and the fit of what it measured.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>

#include <cmath>

#include "app/mainwindow.h"
#include "fakegpib/fakegpib.h"
#include "instrument/simulatedanalyser.h"
#include "instrument/sweepplan.h"
#include "instrumenttesthelpers.h"
#include "regression/fitjob.h"
#include "regression/regressionmethods.h"
#include "testhelpers.h"

using instrumenttest::BoxAnswerer;

namespace {

// The analyser and source stand-in, running until it is destroyed.
class SweepStandIn
{
public:
    ~SweepStandIn()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
    // Starts it; false when it did not start.
    bool start(const QStringList &options)
    {
        process.start(QStringLiteral(ANALYSER_STANDIN),
                      QStringList{"sweep", "--log", directory.filePath("log")} + options);
        if (!process.waitForReadyRead(5000))
            return false;
        const QList<QByteArray> words = process.readLine().trimmed().split(' ');
        if (words.size() != 3)
            return false;
        analyser = QString::fromLatin1(words[1]);
        source = QString::fromLatin1(words[2]);
        return true;
    }
    // The commands received so far, "analyser COMMAND" or "source COMMAND" each.
    QStringList log() const
    {
        QFile file(directory.filePath("log"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    QString analyser;
    QString source;

private:
    QTemporaryDir directory;
    QProcess process;
};

} // namespace

class TestSweep : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void plan_data();
    void plan();
    void frequencyText_data();
    void frequencyText();
    void refusedInTheFields_data();
    void refusedInTheFields();
    void sweepRecoversTheCorner();
    void commandsOfAStep_data();
    void commandsOfAStep();
    void failureEndsTheSweep_data();
    void failureEndsTheSweep();
    void stopInMidRun();
    void noSweepDuringARun();
    void frequenciesReachTheSource_data();
    void frequenciesReachTheSource();
    void simulatedPair();
    void closingDuringASweepAsks();

private:
    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QString status() const { return window->statusBar()->currentMessage(); }
    int rows() const { return testhelpers::tableModel(window)->rowCount(); }
    double cell(int row, int column) const { return testhelpers::cell(window, row, column); }
    // Points both panels at the stand-in and sets a fast plan: readings per point, no pause.
    void useStandIn(const SweepStandIn &standIn, int readings)
    {
        child<QComboBox>("cbInterface")->setCurrentText("LAN (SCPI socket)");
        child<QLineEdit>("leInstrumentAddress")->setText(standIn.analyser);
        child<QSpinBox>("sbPointsCount")->setValue(readings);
        child<QComboBox>("cbSourceInterface")->setCurrentText("LAN (SCPI socket)");
        child<QLineEdit>("leSourceAddress")->setText(standIn.source);
        child<QSpinBox>("sbSettleMs")->setValue(0);
    }
    void setPlan(const QString &start, const QString &stop, int points, bool linear = false)
    {
        child<QLineEdit>("leSweepStart")->setText(start);
        child<QLineEdit>("leSweepStop")->setText(stop);
        child<QSpinBox>("sbSweepPoints")->setValue(points);
        child<QComboBox>("cbSweepSpacing")->setCurrentIndex(linear ? 1 : 0);
    }
    // Starts the sweep and waits for its end, which frees the panel's fields again.
    bool sweepAndWait(int timeoutMs = 30000)
    {
        child<QPushButton>("pbSweepStart")->click();
        if (child<QPushButton>("pbSweepStart")->text() != "Stop Sweep")
            return false;
        return QTest::qWaitFor(
            [this] { return child<QPushButton>("pbSweepStart")->text() == "Start Sweep"; },
            timeoutMs);
    }

    std::unique_ptr<FakeGpib> fake;
    MainWindow *window = nullptr;
    std::unique_ptr<BoxAnswerer> boxes;
};

// A fake GPIB driver is in use, so that GPIB is offered to the source as on a machine with a
// board; the analyser's readings come 5 ms apart.
void TestSweep::init()
{
    fake = std::make_unique<FakeGpib>();
    GpibDriver::setCurrent(fake.get());
    window = new MainWindow;
    window->setReadingInterval(5);
    boxes = std::make_unique<BoxAnswerer>();
}

void TestSweep::cleanup()
{
    boxes.reset();
    delete window;
    window = nullptr;
    GpibDriver::setCurrent(nullptr);
    fake.reset();
}

void TestSweep::plan_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("stop");
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("linear");
    QTest::addColumn<QVector<double>>("frequencies");
    QTest::newRow("logarithmic") << 1e3 << 1e6 << 4 << false << QVector<double>{1e3, 1e4, 1e5, 1e6};
    QTest::newRow("logarithmic downwards")
        << 1e6 << 1e4 << 3 << false << QVector<double>{1e6, 1e5, 1e4};
    QTest::newRow("linear") << 0.0 << 1e3 << 5 << true << QVector<double>{0, 250, 500, 750, 1000};
    QTest::newRow("linear downwards") << 3e6 << 1e6 << 3 << true << QVector<double>{3e6, 2e6, 1e6};
    QTest::newRow("same frequency") << 1e6 << 1e6 << 3 << true << QVector<double>{};
    QTest::newRow("logarithmic through 0") << 0.0 << 1e6 << 3 << false << QVector<double>{};
    QTest::newRow("negative on a logarithmic scale")
        << -1e3 << 1e6 << 3 << false << QVector<double>{};
    QTest::newRow("not a number") << std::nan("") << 1e6 << 3 << true << QVector<double>{};
}

// The frequencies of a plan, both ends exactly, and the plans refused (no frequencies).
void TestSweep::plan()
{
    QFETCH(double, start);
    QFETCH(double, stop);
    QFETCH(int, points);
    QFETCH(bool, linear);
    QFETCH(QVector<double>, frequencies);
    const SweepPlan plan(start, stop, points,
                         linear ? SweepPlan::Spacing::Linear : SweepPlan::Spacing::Logarithmic);
    const QVector<double> got = plan.frequencies();
    QCOMPARE(plan.refusal().isEmpty(), !frequencies.isEmpty());
    QCOMPARE(got.size(), frequencies.size());
    for (int i = 0; i < got.size(); ++i)
        QVERIFY2(std::fabs(got[i] - frequencies[i]) <= 1e-12 * std::fabs(frequencies[i]),
                 qPrintable(QString::number(got[i], 'g', 17)));
    if (!got.isEmpty()) {
        QCOMPARE(got.first(), start);
        QCOMPARE(got.last(), stop);
    }
}

void TestSweep::frequencyText_data()
{
    QTest::addColumn<double>("hertz");
    QTest::addColumn<QString>("text");
    QTest::newRow("integral") << 1e6 << "1000000";
    QTest::newRow("large") << 26.5e9 << "26500000000";
    QTest::newRow("fraction") << 1234.5 << "1234.5";
    QTest::newRow("below 1") << 0.001 << "0.001";
    QTest::newRow("round trip") << 12345.678901234567 << "12345.678901234567";
}

// Every digit, no exponent, and the text reads back as the number.
void TestSweep::frequencyText()
{
    QFETCH(double, hertz);
    QFETCH(QString, text);
    QCOMPARE(SweepPlan::frequencyText(hertz), text);
    QCOMPARE(text.toDouble(), hertz);
    QCOMPARE(SweepPlan::command("FREQ %1", hertz), ("FREQ " + text).toLatin1());
}

void TestSweep::refusedInTheFields_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("stop = start") << "LAN (SCPI socket)"
                                  << "leSweepStop"
                                  << "10000"
                                  << "Start and stop are the same frequency";
    QTest::newRow("0 Hz on a log scale") << "LAN (SCPI socket)"
                                         << "leSweepStart"
                                         << "0"
                                         << "A logarithmic sweep needs frequencies above 0 Hz";
    QTest::newRow("empty start") << "LAN (SCPI socket)"
                                 << "leSweepStart"
                                 << ""
                                 << "The start and stop frequencies must be numbers";
    QTest::newRow("not a number") << "LAN (SCPI socket)"
                                  << "leSweepStop"
                                  << "10 MHz"
                                  << "The start and stop frequencies must be numbers";
    QTest::newRow("source command without %1")
        << "LAN (SCPI socket)"
        << "leSourceCommand"
        << "FREQ 1E6"
        << "Source command: The command needs %1 where the frequency goes";
    QTest::newRow("centre command without %1")
        << "LAN (SCPI socket)"
        << "leCentreCommand"
        << "FREQ:CENT"
        << "Centre command: The command needs %1 where the frequency goes";
    QTest::newRow("source address not an address")
        << "LAN (SCPI socket)"
        << "leSourceAddress"
        << "127.0.0.300"
        << "Source address: 127.0.0.300 is not an IPv4 address";
    QTest::newRow("no source address") << "LAN (SCPI socket)"
                                       << "leSourceAddress"
                                       << ""
                                       << "Type the source's address: host[:port]";
    QTest::newRow("VISA string of another interface") << "LAN (SCPI socket)"
                                                      << "leSourceAddress"
                                                      << "TCPIP0::127.0.0.1::inst0::INSTR"
                                                      << "";
    QTest::newRow("GPIB source by its VISA string") << "GPIB"
                                                    << "leSourceAddress"
                                                    << "GPIB0::19::INSTR"
                                                    << "";
    QTest::newRow("GPIB source by its address") << "GPIB"
                                                << "leSourceAddress"
                                                << "19"
                                                << "";
    QTest::newRow("GPIB source beyond 30") << "GPIB"
                                           << "leSourceAddress"
                                           << "31"
                                           << "A GPIB address is a number from 0 to 30";
    QTest::newRow("no source, its command unused") << "None (analyser only)"
                                                   << "leSourceCommand"
                                                   << ""
                                                   << "";
    QTest::newRow("a fine plan") << "LAN (SCPI socket)"
                                 << "leSweepStart"
                                 << "1e3"
                                 << "";
}

// A plan refused disables Start Sweep and says why beside it and in its tooltip; a click on it
// (should one get through) starts nothing.
void TestSweep::refusedInTheFields()
{
    QFETCH(QString, source);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, reason);
    child<QComboBox>("cbSourceInterface")->setCurrentText(source);
    child<QLineEdit>("leSourceAddress")->setText(source == "GPIB" ? "5" : "127.0.0.1:5026");
    auto *start = child<QPushButton>("pbSweepStart");
    QVERIFY(start->isEnabled());
    child<QLineEdit>(field.toLatin1().constData())->setText(text);
    QCOMPARE(start->isEnabled(), reason.isEmpty());
    QCOMPARE(start->toolTip(), reason);
    // A VISA resource string chooses its own interface.
    if (text.startsWith("TCPIP0"))
        QCOMPARE(child<QComboBox>("cbSourceInterface")->currentText(), "LAN (VXI-11)");
    QCOMPARE(child<QLabel>("lbSweepRefusal")->text(), reason);
    if (reason.isEmpty())
        return;
    start->setEnabled(true);
    start->click();
    QCOMPARE(start->text(), QStringLiteral("Start Sweep"));
    QCOMPARE(status(), QStringLiteral("Sweep not started: %1").arg(reason));
    QCOMPARE(rows(), 0);
}

// A 25-point logarithmic sweep through the stand-in's corner: the points grow one by one into
// the table, the fit of method 0 finds the stand-in's corner to 1 %, and the whole sweep is one
// step to undo.
void TestSweep::sweepRecoversTheCorner()
{
    SweepStandIn standIn;
    QVERIFY(standIn.start({}));
    useStandIn(standIn, 4);
    setPlan("1e5", "1e8", 25);
    QVector<int> rowsSeen;
    connect(testhelpers::tableModel(window), &QAbstractItemModel::rowsInserted, this,
            [&] { rowsSeen << rows(); });
    QVERIFY(sweepAndWait());
    QCOMPARE(rows(), 25);
    QCOMPARE(rowsSeen.size(), 25);
    QCOMPARE(status(), QStringLiteral("Sweep done: 25 points from 100000 Hz to 1e+08 Hz"));
    QCOMPARE(child<QProgressBar>("pbSweepProgress")->value(), 25);
    QVERIFY(boxes->boxes().isEmpty());

    QVector<double> x, y, dy;
    for (int row = 0; row < rows(); ++row) {
        x << cell(row, 0);
        y << cell(row, 1);
        dy << cell(row, 2);
    }
    QCOMPARE(x.first(), 1e5);
    QCOMPARE(x.last(), 1e8);
    FitJob job(0, x, y, dy, false);
    std::unique_ptr<cAbstractRegressCalculation> calculation = regressionmethods::create(0);
    QVERIFY(job.run(*calculation));
    const double corner = job.shown().Fc;
    QVERIFY2(std::fabs(corner / SimulatedAnalyser::sourceCorner - 1) < 0.01,
             qPrintable(QString::number(corner)));

    child<QAction>("actionUndo")->trigger();
    QCOMPARE(rows(), 0);
    QCOMPARE(status(), QStringLiteral("Undone: sweep of 25 points"));
    QVERIFY(!child<QAction>("actionUndo")->isEnabled());
    child<QAction>("actionRedo")->trigger();
    QCOMPARE(rows(), 25);
}

void TestSweep::commandsOfAStep_data()
{
    QTest::addColumn<bool>("source");
    QTest::addColumn<bool>("wait");
    QTest::addColumn<bool>("centre");
    QTest::addColumn<bool>("peak");
    QTest::addColumn<QStringList>("step");
    const QStringList reading = {"analyser SYST:DISP:UPD ON", "analyser CALC:MARK:X?",
                                 "analyser CALC:MARK:Y?"};
    const QStringList tune = {"source FREQ 200000", "source *OPC?"};
    const QStringList centre = {"analyser SYST:DISP:UPD ON", "analyser FREQ:CENT 200000",
                                "analyser *OPC?"};
    const QStringList peak = {"analyser SYST:DISP:UPD ON", "analyser CALC:MARK:MAX"};
    QTest::newRow("all") << true << true << true << true
                         << tune + centre + peak + reading + reading;
    QTest::newRow("source without *OPC?")
        << true << false << true << true
        << QStringList{"source FREQ 200000"} + centre + peak + reading + reading;
    QTest::newRow("no centring") << true << true << false << true
                                 << tune + peak + reading + reading;
    QTest::newRow("no peak search")
        << true << true << true << false << tune + centre + reading + reading;
    QTest::newRow("analyser only")
        << false << true << true << true << centre + peak + reading + reading;
}

// The commands of the second step, in order (the first also asks the analyser who it is): the
// source tuned and asked whether it is done, the analyser centred and asked, the peak search,
// and the run's readings, each on a connection of its own; an option switched off leaves its
// commands out.
void TestSweep::commandsOfAStep()
{
    QFETCH(bool, source);
    QFETCH(bool, wait);
    QFETCH(bool, centre);
    QFETCH(bool, peak);
    QFETCH(QStringList, step);
    SweepStandIn standIn;
    QVERIFY(standIn.start({}));
    useStandIn(standIn, 2);
    if (!source)
        child<QComboBox>("cbSourceInterface")->setCurrentText("None (analyser only)");
    child<QCheckBox>("cbSourceWait")->setChecked(wait);
    child<QCheckBox>("cbFollowCentre")->setChecked(centre);
    child<QCheckBox>("cbSweepPeak")->setChecked(peak);
    setPlan("100000", "200000", 2, true);
    QVERIFY(sweepAndWait());
    QCOMPARE(rows(), 2);
    const QStringList log = standIn.log();
    QVERIFY(log.size() > step.size());
    QCOMPARE(log.mid(log.size() - step.size()), step);
    QCOMPARE(log.count("analyser *IDN?"), 1);
    QCOMPARE(log.size(), 2 * step.size() + 1);
    // Without centring and without a source the marker stays where it was.
    QCOMPARE(cell(1, 0), source && (centre || peak) ? 200000.0 : cell(1, 0));
}

void TestSweep::failureEndsTheSweep_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("kept");
    QTest::addColumn<QString>("instrument");
    QTest::addColumn<int>("endedAt");
    QTest::newRow("source silent after its tenth *OPC?")
        << QStringList{"--source-silent-after", "10"} << 10 << "source" << 11;
    // The stand-in ends at the 8th marker Y query: the 4th point has one reading of its two.
    QTest::newRow("analyser gone during the 4th point")
        << QStringList{"--close-at", "8"} << 4 << "analyser" << 4;
}

// A failure of either instrument ends the sweep: the points measured stay (the one in flight
// too when it has a reading), one box names the instrument, and they are one step to undo.
void TestSweep::failureEndsTheSweep()
{
    QFETCH(QStringList, options);
    QFETCH(int, kept);
    QFETCH(QString, instrument);
    QFETCH(int, endedAt);
    SweepStandIn standIn;
    QVERIFY(standIn.start(options));
    useStandIn(standIn, 2);
    setPlan("1e5", "1e7", 20);
    QVERIFY(sweepAndWait());
    QCOMPARE(rows(), kept);
    QCOMPARE(boxes->boxes().size(), 1);
    const instrumenttest::SeenBox box = boxes->boxes().first();
    QCOMPARE(box.title, QStringLiteral("Instrument Error"));
    const QString failed =
        QStringLiteral("The %1 failed at point %2 of 20:\n").arg(instrument).arg(endedAt);
    QVERIFY2(box.text.startsWith(failed), qPrintable(box.text));
    QVERIFY2(box.text.contains(instrument == "source" ? standIn.source : standIn.analyser),
             qPrintable(box.text));
    QCOMPARE(box.informativeText,
             QStringLiteral("The %1 points measured before stay in the table.").arg(kept));
    // The point cut short says from how many readings it is.
    const QString partial = QStringLiteral("Sweep point 4 of 20 from 1 of 2 readings: X = ");
    QVERIFY2(status().startsWith(instrument == "source" ? QString() : partial),
             qPrintable(status()));
    QVERIFY2(status().contains(QStringLiteral("Sweep stopped at point %1 of 20: the %2: ")
                                   .arg(endedAt)
                                   .arg(instrument)),
             qPrintable(status()));
    QVERIFY(child<QPushButton>("pbStartMeasure")->isEnabled());
    QVERIFY(child<QPushButton>("pbSweepStart")->isEnabled());

    child<QAction>("actionUndo")->trigger();
    QCOMPARE(rows(), 0);
    QCOMPARE(status(), QStringLiteral("Undone: sweep of %1 points").arg(kept));
}

// Stop during the third point's run: the reading scheduled still comes, the point from the
// readings taken is added and says so, and the sweep ends. Meanwhile the Controls panel and a
// second sweep are locked.
void TestSweep::stopInMidRun()
{
    SweepStandIn standIn;
    QVERIFY(standIn.start({}));
    useStandIn(standIn, 50);
    window->setReadingInterval(20);
    setPlan("1e5", "1e6", 5);
    auto *start = child<QPushButton>("pbSweepStart");
    start->click();
    QCOMPARE(start->text(), QStringLiteral("Stop Sweep"));
    for (const char *name : {"pbStartMeasure", "pbSearchPeak", "pbGetMarkerPos", "cbInterface",
                             "sbPointsCount", "cbDyKind", "leSweepStart", "cbSourceInterface"})
        QVERIFY2(!child<QWidget>(name)->isEnabled(), name);
    QVERIFY(QTest::qWaitFor([&] { return rows() == 1; }, 20000));
    QVERIFY2(status().startsWith("Sweep point 1 of 5: X = 100000; Y = "), qPrintable(status()));
    const int logged = standIn.log().size();
    QVERIFY(QTest::qWaitFor([&] { return standIn.log().size() >= logged + 20; }, 20000));
    start->click();
    QVERIFY(!start->isEnabled());
    QVERIFY(QTest::qWaitFor([&] { return start->text() == "Start Sweep"; }, 10000));
    QCOMPARE(rows(), 2);
    QVERIFY2(status().startsWith("Sweep point 2 of 5 from "), qPrintable(status()));
    QVERIFY2(status().endsWith(". Sweep stopped at point 2 of 5: Stop was pressed"),
             qPrintable(status()));
    QVERIFY(child<QPushButton>("pbStartMeasure")->isEnabled());
    QVERIFY(boxes->boxes().isEmpty());
}

// A timed run of the Controls panel keeps a sweep from starting; once it has ended, one starts.
void TestSweep::noSweepDuringARun()
{
    SweepStandIn standIn;
    QVERIFY(standIn.start({}));
    useStandIn(standIn, 3);
    window->setReadingInterval(100);
    setPlan("1e5", "1e6", 2);
    child<QPushButton>("pbStartMeasure")->click();
    auto *start = child<QPushButton>("pbSweepStart");
    start->click();
    QCOMPARE(start->text(), QStringLiteral("Start Sweep"));
    QCOMPARE(status(),
             QStringLiteral("Sweep not started: a measurement or marker operation is running"));
    QVERIFY(QTest::qWaitFor([&] { return rows() == 1; }, 10000));
    QVERIFY(sweepAndWait());
    QCOMPARE(rows(), 3);
}

void TestSweep::frequenciesReachTheSource_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("linear");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("logarithmic up")
        << "1e4"
        << "1e6" << 3 << false << QStringList{"FREQ 10000", "FREQ 100000", "FREQ 1000000"};
    QTest::newRow("logarithmic down")
        << "4e6"
        << "1e6" << 3 << false << QStringList{"FREQ 4000000", "FREQ 2000000", "FREQ 1000000"};
    QTest::newRow("linear down") << "2e6"
                                 << "1e6" << 3 << true
                                 << QStringList{"FREQ 2000000", "FREQ 1500000", "FREQ 1000000"};
    QTest::newRow("linear fractions")
        << "1000"
        << "1001" << 3 << true << QStringList{"FREQ 1000", "FREQ 1000.5", "FREQ 1001"};
}

// Each frequency of the plan reaches the source with every digit, in the plan's order, and the
// marker found there gives the point's X.
void TestSweep::frequenciesReachTheSource()
{
    QFETCH(QString, start);
    QFETCH(QString, stop);
    QFETCH(int, points);
    QFETCH(bool, linear);
    QFETCH(QStringList, commands);
    SweepStandIn standIn;
    QVERIFY(standIn.start({}));
    useStandIn(standIn, 1);
    setPlan(start, stop, points, linear);
    QVERIFY(sweepAndWait());
    QStringList tuned;
    for (const QString &line : standIn.log())
        if (line.startsWith("source FREQ"))
            tuned << line.mid(7);
    if (QTest::currentDataTag() == QByteArray("logarithmic up"))
        commands[1] =
            "FREQ " + SweepPlan::frequencyText(SweepPlan(1e4, 1e6, 3, {}).frequencies()[1]);
    QCOMPARE(tuned, commands);
    QCOMPARE(rows(), points);
    for (int row = 0; row < points; ++row)
        QCOMPARE(float(cell(row, 0)), float(commands[row].mid(5).toDouble()));
}

// With nothing connected: the simulated analyser follows the simulated source.
void TestSweep::simulatedPair()
{
    child<QComboBox>("cbInterface")->setCurrentText("Simulated analyser");
    child<QSpinBox>("sbPointsCount")->setValue(3);
    child<QComboBox>("cbSourceInterface")->setCurrentText("Simulated source");
    QVERIFY(!child<QLineEdit>("leSourceAddress")->isEnabled());
    child<QSpinBox>("sbSettleMs")->setValue(0);
    setPlan("1e5", "1e8", 7);
    QVERIFY(sweepAndWait());
    QCOMPARE(rows(), 7);
    const QVector<double> frequencies = SweepPlan(1e5, 1e8, 7, {}).frequencies();
    for (int row = 0; row < rows(); ++row) {
        QCOMPARE(float(cell(row, 0)), float(frequencies[row]));
        QVERIFY(std::fabs(cell(row, 1) - SimulatedAnalyser::sourceLevel(frequencies[row])) < 0.2);
    }
}

// Closing during a sweep asks as during a run; Stop and Keep closes once the sweep has ended,
// with the point of the run in flight added, and then the unsaved points are asked about.
void TestSweep::closingDuringASweepAsks()
{
    SweepStandIn standIn;
    QVERIFY(standIn.start({}));
    useStandIn(standIn, 50);
    window->setReadingInterval(20);
    setPlan("1e5", "1e6", 5);
    window->show();
    child<QPushButton>("pbSweepStart")->click();
    QVERIFY(QTest::qWaitFor([&] { return rows() == 1; }, 20000));
    boxes.reset();
    QStringList questions;
    testhelpers::answerModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return false;
        questions << box->text();
        QAbstractButton *button =
            questions.size() == 1 ? box->buttons().constFirst() : box->button(QMessageBox::Discard);
        QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
        return questions.size() == 2;
    });
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 10000);
    QCOMPARE(questions.value(0), QStringLiteral("A sweep is running (point 2 of 5)."));
    QCOMPARE(rows(), 2);
    QCOMPARE(questions.value(1),
             QStringLiteral("The table holds 2 points that have not been saved."));
}

VANTOREL_TEST_MAIN(TestSweep)
#include "tst_sweep.moc"
