// The GPIB connection layer and the marker commands: the driver calls of an open, a marker
// reading and a peak search; the error box of every failing call; the decoding of replies; the
// loader that picks the driver library or falls back to the simulated analyser.
#include <QComboBox>
#include <QLabel>
#include <QLibrary>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

#include "app/mainwindow.h"
#include "fakegpib/fakegpib.h"
#include "instrument/gpiblibrarydriver.h"
#include "instrument/simulatedanalyser.h"
#include "instrumenttesthelpers.h"
#include "testhelpers.h"

using instrumenttest::BoxAnswerer;
using Status = FakeGpibScript::Status;

Q_DECLARE_METATYPE(FakeGpibScript::Status)

class TestGpib : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void markerReadingCallSequence();
    void addressGoesToDriverAsItIs_data();
    void addressGoesToDriverAsItIs();
    void searchPeakCallSequence();
    void markerOperationKeepsOthersOut();
    void failuresShowOneBoxAndCloseTheConnection_data();
    void failuresShowOneBoxAndCloseTheConnection();
    void timedOutWriteBoxAnsweredByTheUser();
    void boxNamesStatusBitsAndErrorCodes_data();
    void boxNamesStatusBitsAndErrorCodes();
    void replies_data();
    void replies();
    void faultyByteCountStaysInsideTheBuffer_data();
    void faultyByteCountStaysInsideTheBuffer();

    void loadsDriverLibraryByPath();
    void fallsBackWhenSymbolMissing();
    void fallsBackWhenLibraryUnusable_data();
    void fallsBackWhenLibraryUnusable();
    void programStartsWithOneDriverLine();

private:
    QPushButton *button(const char *name) const
    {
        return window->findChild<QPushButton *>(QLatin1String(name));
    }
    QString status() const { return window->statusBar()->currentMessage(); }
    // Takes one marker reading through a one-reading acquisition and returns the Y that the
    // new table row holds, so the value of the reply is seen unrounded.
    double acquiredY()
    {
        window->findChild<QSpinBox *>(QStringLiteral("sbPointsCount"))->setValue(1);
        auto *model = testhelpers::tableModel(window);
        const int rows = model->rowCount();
        button("pbStartMeasure")->click();
        if (!QTest::qWaitFor([&] { return button("pbStartMeasure")->text() == "Start"; }, 5000) ||
            model->rowCount() != rows + 1)
            return qQNaN();
        return testhelpers::cell(window, rows, 1);
    }

    std::unique_ptr<FakeGpib> fake;
    MainWindow *window = nullptr;
    std::unique_ptr<BoxAnswerer> boxes;
};

static const QString open17[] = {QStringLiteral("ibdev(0, 21, 0, 11, 1, 0)"),
                                 QStringLiteral("ibclr(17)"),
                                 QStringLiteral("ibwrt(17, SYST:DISP:UPD ON, 16)")};

void TestGpib::init()
{
    fake = std::make_unique<FakeGpib>();
    GpibDriver::setCurrent(fake.get());
    window = new MainWindow;
    boxes = std::make_unique<BoxAnswerer>();
}

void TestGpib::cleanup()
{
    boxes.reset();
    delete window;
    window = nullptr;
    GpibDriver::setCurrent(nullptr);
    QCOMPARE(fake->script.misuses, 0);
    fake.reset();
}

void TestGpib::markerReadingCallSequence()
{
    fake->script.answer("CALC:MARK:X?", "+1.2345E+09\n");
    fake->script.answer("CALC:MARK:Y?", "-2.5E+01\n");
    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos")));
    const QStringList expected = {open17[0],        open17[1],
                                  open17[2],        "ibwrt(17, CALC:MARK:X?, 12)",
                                  "ibrd(17, 1024)", "ibwrt(17, CALC:MARK:Y?, 12)",
                                  "ibrd(17, 1024)", "ibonl(17, 0)"};
    QCOMPARE(fake->script.calls, expected);
    QCOMPARE(status(), QStringLiteral("Marker Pos: X = 1.2345e+09; Y = -25"));
    QVERIFY(boxes->boxes().isEmpty());

    // Every operation has a connection of its own: the next one opens and clears again.
    fake->script.calls.clear();
    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos")));
    QCOMPARE(fake->script.calls.mid(0, 3), QStringList(std::begin(open17), std::end(open17)));
    QCOMPARE(fake->script.calls.last(), QStringLiteral("ibonl(17, 0)"));
}

void TestGpib::addressGoesToDriverAsItIs_data()
{
    QTest::addColumn<int>("address");
    QTest::newRow("0") << 0;
    QTest::newRow("7") << 7;
    QTest::newRow("31") << 31;
}

void TestGpib::addressGoesToDriverAsItIs()
{
    QFETCH(int, address);
    window->findChild<QSpinBox *>(QStringLiteral("sbGpibAddress"))->setValue(address);
    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos")));
    QCOMPARE(fake->script.calls.first(), QStringLiteral("ibdev(0, %1, 0, 11, 1, 0)").arg(address));
}

// Search Peak opens once and reuses that connection for the marker reading: one clear, one
// display command, then the peak search, the two queries and one close.
void TestGpib::searchPeakCallSequence()
{
    fake->script.answer("CALC:MARK:X?", "+2.0E+06\n");
    fake->script.answer("CALC:MARK:Y?", "-3.5E+01\n");
    QVERIFY(instrumenttest::pressAndWait(button("pbSearchPeak")));
    const QStringList expected = {open17[0],
                                  open17[1],
                                  open17[2],
                                  "ibwrt(17, CALC:MARK:MAX, 13)",
                                  "ibwrt(17, CALC:MARK:X?, 12)",
                                  "ibrd(17, 1024)",
                                  "ibwrt(17, CALC:MARK:Y?, 12)",
                                  "ibrd(17, 1024)",
                                  "ibonl(17, 0)"};
    QCOMPARE(fake->script.calls, expected);
    QCOMPARE(status(), QStringLiteral("Marker Pos: X = 2e+06; Y = -35"));
}

// While a marker reading is in flight the window stays live, but neither a run nor another
// marker operation starts, even when their slots are called: one connection, no point.
void TestGpib::markerOperationKeepsOthersOut()
{
    fake->script.answer("CALC:MARK:X?", "+1.0E+03\n");
    fake->script.answer("CALC:MARK:Y?", "-1.0E+01\n");
    fake->script.readDelayMs = 100;
    button("pbGetMarkerPos")->click();
    for (const char *name : {"pbStartMeasure", "pbSearchPeak", "pbGetMarkerPos"})
        QVERIFY2(!button(name)->isEnabled(), name);
    for (const char *slot :
         {"on_pbStartMeasure_clicked", "on_pbSearchPeak_clicked", "on_pbGetMarkerPos_clicked"})
        QVERIFY(QMetaObject::invokeMethod(window, slot));
    QTRY_COMPARE(status(), QStringLiteral("Marker Pos: X = 1000; Y = -10"));
    QTest::qWait(300);
    QCOMPARE(fake->script.calls.count(open17[0]), 1);
    QCOMPARE(button("pbStartMeasure")->text(), QStringLiteral("Start"));
    QVERIFY(button("pbStartMeasure")->isEnabled() && button("pbGetMarkerPos")->isEnabled());
    QCOMPARE(testhelpers::tableModel(window)->rowCount(), 0);
}

void TestGpib::failuresShowOneBoxAndCloseTheConnection_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<Status>("failure");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("plain");

    const QStringList opened(std::begin(open17), std::end(open17));
    const QString nobody = QStringLiteral("No instrument answers at GPIB address 21.");
    QTest::newRow("ibdev negative: no ibonl")
        << "pbGetMarkerPos"
        << "ibdev" << QByteArray() << Status{0x8000, 3, 0}
        << "ibdev error\r\nibsta = 0x8000, iberr = 0x3\r\nibsta ===> ERR \r\niberr ===> EADR "
           "\r\nibcnt = 0"
        << QStringList{opened[0]} << QString();
    QTest::newRow("ibclr ERR")
        << "pbGetMarkerPos"
        << "ibclr" << QByteArray() << Status{0x8100, 2, 0}
        << "ibclr error\r\nibsta = 0x8100, iberr = 0x2\r\nibsta ===> ERR CMPL \r\niberr ===> ENOL "
           "\r\nibcnt = 0"
        << QStringList{opened[0], opened[1], "ibonl(17, 0)"} << nobody;
    // The open still succeeds, but the operation ends with the report: no second connection.
    QTest::newRow("display command times out")
        << "pbGetMarkerPos"
        << "ibwrt" << QByteArray("SYST:DISP:UPD ON") << Status{0xC100, 6, 0}
        << "ibwrt error\r\nibsta = 0xc100, iberr = 0x6\r\nibsta ===> ERR TMO CMPL \r\niberr ===> "
           "EABO \r\nibcnt = 0"
        << (opened + QStringList{"ibonl(17, 0)"}) << QString();
    QTest::newRow("Y query fails")
        << "pbGetMarkerPos"
        << "ibwrt" << QByteArray("CALC:MARK:Y?") << Status{0xC100, 6, 5}
        << "ibwrt error\r\nibsta = 0xc100, iberr = 0x6\r\nibsta ===> ERR TMO CMPL \r\niberr ===> "
           "EABO \r\nibcnt = 5"
        << (opened + QStringList{"ibwrt(17, CALC:MARK:X?, 12)", "ibrd(17, 1024)",
                                 "ibwrt(17, CALC:MARK:Y?, 12)", "ibonl(17, 0)"})
        << QString();
    QTest::newRow("peak search fails")
        << "pbSearchPeak"
        << "ibwrt" << QByteArray("CALC:MARK:MAX") << Status{0x8000, 2, 0}
        << "ibwrt error\r\nibsta = 0x8000, iberr = 0x2\r\nibsta ===> ERR \r\niberr ===> ENOL "
           "\r\nibcnt = 0"
        << (opened + QStringList{"ibwrt(17, CALC:MARK:MAX, 13)", "ibonl(17, 0)"}) << nobody;
    QTest::newRow("ibdev fails in Search Peak")
        << "pbSearchPeak"
        << "ibdev" << QByteArray() << Status{0x8000, 7, 0}
        << "ibdev error\r\nibsta = 0x8000, iberr = 0x7\r\nibsta ===> ERR \r\niberr ===> ENEB "
           "\r\nibcnt = 0"
        << QStringList{opened[0]} << QString();
    QTest::newRow("no board: ibdev EDVR")
        << "pbGetMarkerPos"
        << "ibdev" << QByteArray() << Status{0x8000, 0, 0}
        << "ibdev error\r\nibsta = 0x8000, iberr = 0x0\r\nibsta ===> ERR \r\niberr ===> "
           "\r\nibcnt = 0"
        << QStringList{opened[0]}
        << "No GPIB board is configured or reachable (check /etc/gpib.conf and gpib_config).";
}

void TestGpib::failuresShowOneBoxAndCloseTheConnection()
{
    QFETCH(QString, operation);
    QFETCH(QString, failing);
    QFETCH(QByteArray, command);
    QFETCH(Status, failure);
    QFETCH(QString, text);
    QFETCH(QStringList, calls);
    QFETCH(QString, plain);

    fake->script.answer("CALC:MARK:X?", "+1.0E+06\n");
    fake->script.answer("CALC:MARK:Y?", "-1.0E+01\n");
    if (failing == "ibdev")
        fake->script.failIbdev(failure, 1);
    else if (failing == "ibclr")
        fake->script.failIbclr(failure, 1);
    else
        fake->script.failWrite(command, failure, 1);
    window->statusBar()->showMessage(QStringLiteral("Marker Pos: X = 1; Y = 2"));

    QVERIFY(instrumenttest::pressAndWait(button(operation.toLatin1().constData())));

    const QList<instrumenttest::SeenBox> seen = boxes->boxes();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].title, QStringLiteral("GPIB Error"));
    QCOMPARE(seen[0].text, text);
    QCOMPARE(seen[0].icon, QMessageBox::Warning);
    QCOMPARE(seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(seen[0].buttonCount, 1);
    QCOMPARE(seen[0].informativeText, plain);
    QCOMPARE(fake->script.calls, calls);
    // A failed operation shows no marker position, nor leaves the last one standing.
    QVERIFY2(status().startsWith(QStringLiteral("Marker not read: ")), qPrintable(status()));

    // The connection was closed by the report: the next operation opens a new one.
    fake->script.calls.clear();
    fake->script.answer("CALC:MARK:X?", "+1.0E+06\n");
    fake->script.answer("CALC:MARK:Y?", "-1.0E+01\n");
    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos")));
    QCOMPARE(fake->script.calls.first(), open17[0]);
    QCOMPARE(boxes->boxes().size(), 1);
}

// The box as the user meets it: modal over the window, five lines, one OK button that
// closes it and lets the operation end.
void TestGpib::timedOutWriteBoxAnsweredByTheUser()
{
    boxes.reset();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    fake->script.failWrite("CALC:MARK:X?", {0xC100, 6, 0}, 1);
    bool answered = false;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QAbstractButton *> buttons;
    QWidget *parent = nullptr;
    testhelpers::answerModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return false;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->buttons();
        parent = box->parentWidget();
        if (box->button(QMessageBox::Ok))
            box->button(QMessageBox::Ok)->click();
        else
            box->done(0);
        answered = true;
        return true;
    });
    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos")));
    QVERIFY(answered);
    QCOMPARE(title, QStringLiteral("GPIB Error"));
    QCOMPARE(text, QStringLiteral("ibwrt error\r\nibsta = 0xc100, iberr = 0x6\r\nibsta ===> ERR "
                                  "TMO CMPL \r\niberr ===> EABO \r\nibcnt = 0"));
    QCOMPARE(text.split(QStringLiteral("\r\n")).size(), 5);
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(parent, static_cast<QWidget *>(window));
    QCOMPARE(fake->script.calls.last(), QStringLiteral("ibonl(17, 0)"));
}

void TestGpib::boxNamesStatusBitsAndErrorCodes_data()
{
    QTest::addColumn<Status>("failure");
    QTest::addColumn<QString>("text");

    QTest::newRow("every bit")
        << Status{0xffff, 20, 1234}
        << "ibclr error\r\nibsta = 0xffff, iberr = 0x14\r\nibsta ===> ERR TMO END SRQI RQS CMPL "
           "LOK REM CIC ATN TACS LACS DTAS DCAS \r\niberr ===> ETAB \r\nibcnt = 1234";
    QTest::newRow("bits without a name, code 0")
        << Status{0x8600, 0, 0}
        << "ibclr error\r\nibsta = 0x8600, iberr = 0x0\r\nibsta ===> ERR \r\niberr ===> "
           "\r\nibcnt = 0";
    QTest::newRow("code 9 has no name")
        << Status{0x8000, 9, 0}
        << "ibclr error\r\nibsta = 0x8000, iberr = 0x9\r\nibsta ===> ERR \r\niberr ===> \r\nibcnt "
           "= 0";
    const struct
    {
        int code;
        const char *name;
    } codes[] = {{1, "ECIC"},  {2, "ENOL"},  {3, "EADR"},  {4, "EARG"},  {5, "ESAC"},
                 {6, "EABO"},  {7, "ENEB"},  {8, "EDMA"},  {10, "EOIP"}, {11, "ECAP"},
                 {12, "EFSO"}, {14, "EBUS"}, {15, "ESTB"}, {16, "ESRQ"}, {20, "ETAB"}};
    for (const auto &code : codes) {
        QTest::addRow("code %d", code.code)
            << Status{0x8000, code.code, 0}
            << QStringLiteral("ibclr error\r\nibsta = 0x8000, iberr = 0x%1\r\nibsta ===> ERR "
                              "\r\niberr ===> %2 \r\nibcnt = 0")
                   .arg(QString::number(code.code, 16), QLatin1String(code.name));
    }
    for (int code : {13, 17, 21, 255}) {
        QTest::addRow("code %d has no name", code)
            << Status{0x8000, code, 0}
            << QStringLiteral("ibclr error\r\nibsta = 0x8000, iberr = 0x%1\r\nibsta ===> ERR "
                              "\r\niberr ===> \r\nibcnt = 0")
                   .arg(QString::number(code, 16));
    }
}

void TestGpib::boxNamesStatusBitsAndErrorCodes()
{
    QFETCH(Status, failure);
    QFETCH(QString, text);
    fake->script.failIbclr(failure, 1);
    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos")));
    QCOMPARE(boxes->boxes().size(), 1);
    QCOMPARE(boxes->boxes()[0].text, text);
}

void TestGpib::replies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");

    const QString timeOut =
        QStringLiteral("ibrd error\r\nibsta = 0xc100, iberr = 0x6\r\nibsta ===> "
                       "ERR TMO CMPL \r\niberr ===> EABO \r\nibcnt = 0");
    const QString notNumber = QStringLiteral("The analyser's reply is not a number: ");
    QTest::newRow("number and line feed")
        << QByteArray("+1.2345E+09\n") << true << 1.2345e9 << QString();
    QTest::newRow("every digit of a GHz reading")
        << QByteArray("2400012345\n") << true << 2400012345.0 << QString();
    QTest::newRow("blanks and CR LF") << QByteArray("  -25.5 \r\n") << true << -25.5 << QString();
    QTest::newRow("line feed first") << QByteArray("\n3.25") << true << 3.25 << QString();
    QTest::newRow("NUL after the line feed")
        << QByteArray("+2.5\n\0junk", 10) << true << 2.5 << QString();
    QTest::newRow("1024 bytes with the line feed last")
        << (QByteArray(1022, ' ') + "3\n") << true << 3.0 << QString();
    QTest::newRow("no reply: time-out") << QByteArray() << false << qQNaN() << timeOut;
    QTest::newRow("no line feed") << QByteArray("+1.2345E+09") << true << qQNaN()
                                  << notNumber + "+1.2345E+09";
    QTest::newRow("not a number") << QByteArray("OVLD\n") << true << qQNaN() << notNumber + "OVLD";
    QTest::newRow("two values") << QByteArray("1,000\n") << true << qQNaN() << notNumber + "1,000";
    QTest::newRow("stops at NUL before the line feed")
        << QByteArray("+2.5\0junk\n", 10) << true << qQNaN() << notNumber + "+2.5";
    QTest::newRow("beyond single precision") << QByteArray("1e39\n") << true << 1e39 << QString();
    QTest::newRow("beyond double precision")
        << QByteArray("1e309\n") << true << qQNaN() << notNumber + "1e309";
    QTest::newRow("nan") << QByteArray("nan\n") << true << qQNaN() << notNumber + "nan";
    QTest::newRow("inf") << QByteArray("-inf\n") << true << qQNaN() << notNumber + "-inf";
    const QString noValue = QStringLiteral("The analyser reported no valid value (%1) to "
                                           "CALC:MARK:Y?");
    QTest::newRow("no value: not a number")
        << QByteArray("9.91E37\n") << true << qQNaN() << noValue.arg("9.91E37");
    QTest::newRow("no value: infinity")
        << QByteArray("+9.90000E+37\n") << true << qQNaN() << noValue.arg("+9.90000E+37");
    QTest::newRow("no value: minus infinity")
        << QByteArray("-9.9E37\n") << true << qQNaN() << noValue.arg("-9.9E37");
    QTest::newRow("near the no value") << QByteArray("9.92E37\n") << true << 9.92e37 << QString();
    QTest::newRow("empty line") << QByteArray("\n") << true << qQNaN()
                                << notNumber + "(empty reply)";
    QTest::newRow("1025 bytes: the line feed is cut off")
        << (QByteArray(1023, ' ') + "3\n") << true << qQNaN() << notNumber + "3";
    QTest::newRow("long text is cut")
        << QByteArray(50, 'E') + "\n"
        << true << qQNaN() << notNumber + QString(40, QLatin1Char('E')) + QChar(0x2026);
}

// A reply is a reading only when it is one number ended by a line feed. Anything else is
// reported, in the error box or in the status bar, and the operation ends there: Get Marker
// Pos shows no position and a run of one reading adds no point.
void TestGpib::replies()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, answered);
    QFETCH(double, value);
    QFETCH(QString, shown);
    const auto script = [&] {
        fake->script.answer("CALC:MARK:X?", "+1.0E+03\n");
        if (answered)
            fake->script.answer("CALC:MARK:Y?", reply);
    };
    script();
    QCOMPARE(acquiredY(), value);
    QCOMPARE(fake->script.calls.count(QStringLiteral("ibrd(17, 1024)")), 2);
    QCOMPARE(fake->script.calls.last(), QStringLiteral("ibonl(17, 0)"));
    if (shown.isEmpty()) {
        QVERIFY(boxes->boxes().isEmpty());
        return;
    }
    QVERIFY(status().startsWith(QStringLiteral("Measurement stopped: no reading succeeded. ")));

    window->statusBar()->showMessage(QStringLiteral("Marker Pos: X = 1; Y = 2"));
    script();
    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos")));
    const bool boxed = shown.startsWith(QStringLiteral("ibrd error"));
    QCOMPARE(boxes->boxes().size(), boxed ? 2 : 0);
    QCOMPARE(boxed ? boxes->boxes().last().text : status(), shown);
    if (boxed)
        QCOMPARE(status(), QStringLiteral("Marker not read: GPIB ibrd error"));
}

void TestGpib::faultyByteCountStaysInsideTheBuffer_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("value");
    QTest::newRow("more than the buffer") << 5000 << 4.5;
    QTest::newRow("negative: no reply") << -7 << qQNaN();
}

// Whatever byte count the driver reports, the reply is decoded from the buffer alone.
void TestGpib::faultyByteCountStaysInsideTheBuffer()
{
    QFETCH(int, count);
    QFETCH(double, value);
    fake->script.answer("CALC:MARK:X?", "+1.0E+03\n");
    fake->script.answer("CALC:MARK:Y?", "+4.5\n");
    fake->script.reportReadCount(count);
    QCOMPARE(acquiredY(), value);
}

// The driver library is found by path and its eight functions carry a whole marker reading.
void TestGpib::loadsDriverLibraryByPath()
{
    std::unique_ptr<GpibDriver> driver;
    {
        testhelpers::DebugCapture debug;
        driver = GpibDriver::load(QStringLiteral(FAKEGPIB_LIBRARY));
        QCOMPARE(debug.lines(),
                 QStringList{QStringLiteral("GPIB driver: NI-488.2 library libfakegpib.so")});
    }
    QVERIFY(dynamic_cast<GpibLibraryDriver *>(driver.get()));

    QLibrary library(QStringLiteral(FAKEGPIB_LIBRARY));
    auto scriptOf = reinterpret_cast<FakeGpibScript *(*)()>(library.resolve("fakeGpibScript"));
    QVERIFY(scriptOf);
    FakeGpibScript *script = scriptOf();
    script->reset();
    script->answer("CALC:MARK:X?", "+1.5E+06\n");
    script->answer("CALC:MARK:Y?", "-2.3E+01\n");
    script->failIbclr({0xC100, 6, 0}, 1);

    GpibDriver::setCurrent(driver.get());
    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos"))); // fails at the clear
    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos")));
    GpibDriver::setCurrent(fake.get());

    QCOMPARE(boxes->boxes().size(), 1);
    QCOMPARE(boxes->boxes()[0].text,
             QStringLiteral("ibclr error\r\nibsta = 0xc100, iberr = 0x6\r\nibsta ===> ERR TMO "
                            "CMPL \r\niberr ===> EABO \r\nibcnt = 0"));
    const QStringList expected = {open17[0],
                                  open17[1],
                                  "ibonl(17, 0)",
                                  open17[0],
                                  open17[1],
                                  open17[2],
                                  "ibwrt(17, CALC:MARK:X?, 12)",
                                  "ibrd(17, 1024)",
                                  "ibwrt(17, CALC:MARK:Y?, 12)",
                                  "ibrd(17, 1024)",
                                  "ibonl(17, 0)"};
    QCOMPARE(script->calls, expected);
    QCOMPARE(script->misuses, 0);
    QCOMPARE(status(), QStringLiteral("Marker Pos: X = 1.5e+06; Y = -23"));
}

void TestGpib::fallsBackWhenSymbolMissing()
{
    testhelpers::DebugCapture debug;
    std::unique_ptr<GpibDriver> driver = GpibDriver::load(QStringLiteral(FAKEGPIB_NOIBCNT_LIBRARY));
    QVERIFY(dynamic_cast<SimulatedAnalyser *>(driver.get()));
    QCOMPARE(debug.lines(),
             QStringList{QStringLiteral("GPIB driver: simulated analyser "
                                        "(libfakegpib_noibcnt.so lacks ThreadIbcnt)")});

    // The fall-back is a working analyser.
    GpibDriver::setCurrent(driver.get());
    QVERIFY(instrumenttest::pressAndWait(button("pbGetMarkerPos")));
    GpibDriver::setCurrent(fake.get());
    QVERIFY(boxes->boxes().isEmpty());
    const QString text = status();
    QVERIFY2(text.startsWith(QStringLiteral("Marker Pos: X = 5e+06; Y = ")), qPrintable(text));
    const double level = text.section(QStringLiteral("Y = "), 1).toDouble();
    QVERIFY2(level > -105 && level < -85, qPrintable(text)); // the noise floor
}

void TestGpib::fallsBackWhenLibraryUnusable_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "/nonexistent/libgpib.so"
                             << "No libgpib.so.0 found";
    QTest::newRow("not a library") << "broken"
                                   << "libbroken.so.0 could not be loaded: ";
    QTest::newRow("too old") << FAKEGPIB_NOIBCNT_LIBRARY
                             << "libfakegpib_noibcnt.so lacks ThreadIbcnt";
    QTest::newRow("usable") << FAKEGPIB_LIBRARY << QString();
}

// Whenever the simulated analyser stands in, the window says so in a permanent label whose
// tooltip gives the reason; with a usable driver library the label names the GPIB address.
void TestGpib::fallsBackWhenLibraryUnusable()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    QTemporaryDir folder;
    if (path == QLatin1String("broken"))
        path = testhelpers::writeFile(folder.filePath(QStringLiteral("libbroken.so.0")), "text");
    std::unique_ptr<GpibDriver> driver = GpibDriver::load(path, path.endsWith(".so") ? 0 : -1);
    QCOMPARE(driver->isSimulated(), !reason.isEmpty());
    QVERIFY2(driver->simulationReason().startsWith(reason), qPrintable(driver->simulationReason()));

    GpibDriver::setCurrent(driver.get());
    MainWindow other;
    GpibDriver::setCurrent(fake.get());
    auto *label = other.findChild<QLabel *>(QStringLiteral("lbInstrument"));
    auto *interface = other.findChild<QComboBox *>(QStringLiteral("cbInterface"));
    QCOMPARE(label->text(),
             reason.isEmpty() ? QStringLiteral("GPIB 21") : QStringLiteral("Simulated analyser"));
    QCOMPARE(interface->currentText(),
             reason.isEmpty() ? QStringLiteral("GPIB") : QStringLiteral("Simulated analyser"));
    if (!reason.isEmpty()) {
        QCOMPARE(label->toolTip(), driver->simulationReason());
        // GPIB cannot be chosen without its library: the choice stays, the reason is shown.
        GpibDriver::setCurrent(driver.get());
        interface->setCurrentIndex(0);
        GpibDriver::setCurrent(fake.get());
        QCOMPARE(interface->currentText(), QStringLiteral("Simulated analyser"));
        QVERIFY(other.statusBar()->currentMessage().endsWith(driver->simulationReason()));
    }
}

// The program starts on any machine and names the driver it picked in one debug line.
void TestGpib::programStartsWithOneDriverLine()
{
    QProcess program;
    program.setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VANTOREL_PROGRAM), QStringList());
    QVERIFY(program.waitForStarted(10000));
    QByteArray errors;
    QElapsedTimer clock;
    clock.start();
    while (!errors.contains("GPIB driver: ") && clock.elapsed() < 20000 &&
           program.state() == QProcess::Running) {
        program.waitForReadyRead(200);
        errors += program.readAllStandardError();
    }
    QTest::qWait(300);
    errors += program.readAllStandardError();
    const bool running = program.state() == QProcess::Running;
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(10000);
    }
    QVERIFY2(running, errors.constData());

    QStringList driverLines;
    for (const QByteArray &line : errors.split('\n'))
        if (line.startsWith("GPIB driver: "))
            driverLines << QString::fromUtf8(line);
    QCOMPARE(driverLines.size(), 1);
    QLibrary system(QStringLiteral("gpib"), 0);
    if (!system.load())
        QCOMPARE(driverLines[0], QStringLiteral("GPIB driver: simulated analyser"));
}

VANTOREL_TEST_MAIN(TestGpib)
#include "tst_gpib.moc"
