// The same instrument cases on every interface: GPIB through the scriptable fake driver, the
// LAN socket, VXI-11 and USB-TMC through a stand-in process on 127.0.0.1 or a pseudo-terminal.
// Also the Address field and the host lookup's time-out.
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

#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <thread>
#include <unistd.h>

#include "app/mainwindow.h"
#include "fakegpib/fakegpib.h"
#include "instrument/hostlookup.h"
#include "instrument/instrumentconnection.h"
#include "instrumenttesthelpers.h"
#include "testhelpers.h"

using instrumenttest::BoxAnswerer;

namespace {

// The analyser stand-in, running until it is destroyed.
class StandIn
{
public:
    ~StandIn()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
    // Starts it and returns the address it serves, empty when it did not start.
    QString start(const QString &kind, const QStringList &options)
    {
        process.start(QStringLiteral(ANALYSER_STANDIN), QStringList{kind} + options);
        if (!process.waitForReadyRead(5000))
            return QString();
        return QString::fromLatin1(process.readLine().trimmed()).section(QLatin1Char(' '), 1);
    }
    QString errors() { return QString::fromLocal8Bit(process.readAllStandardError()); }

private:
    QProcess process;
};

// The system's text for an error number, in the language of the run.
QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A name server that does not answer, and one that knows no name.
int slowResolver(const char *, const char *, const struct addrinfo *, struct addrinfo **)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    return EAI_AGAIN;
}
int failingResolver(const char *, const char *, const struct addrinfo *, struct addrinfo **)
{
    return EAI_NONAME;
}

} // namespace

class TestInterfaces : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sharedCases_data();
    void sharedCases();
    void addressField_data();
    void addressField();
    void hostLookupIsBounded();
    void lateReplyIsNotTheNextAnswer();
    void identityIsShownAsText();
    void usbTmcOpensOnlyDevices();
    void commandWrittenInPieces();

private:
    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QString status() const { return window->statusBar()->currentMessage(); }
    // Chooses the interface and types address into the Address field.
    void choose(const QString &interface, const QString &address)
    {
        child<QComboBox>("cbInterface")->setCurrentText(interface);
        child<QLineEdit>("leInstrumentAddress")->setText(address);
    }
    void startRun(int count)
    {
        child<QSpinBox>("sbPointsCount")->setValue(count);
        child<QPushButton>("pbStartMeasure")->click();
    }
    // Waits for the message that ends every run.
    bool runEnded()
    {
        return QTest::qWaitFor([&] { return status() != "before"; }, 10000);
    }

    std::unique_ptr<FakeGpib> fake;
    MainWindow *window = nullptr;
    std::unique_ptr<BoxAnswerer> boxes;
};

void TestInterfaces::init()
{
    fake = std::make_unique<FakeGpib>();
    GpibDriver::setCurrent(fake.get());
    window = new MainWindow;
    window->setReadingInterval(20);
    boxes = std::make_unique<BoxAnswerer>();
}

void TestInterfaces::cleanup()
{
    boxes.reset();
    delete window;
    GpibDriver::setCurrent(nullptr);
    HostLookup::setResolver(nullptr);
}

void TestInterfaces::sharedCases_data()
{
    QTest::addColumn<QString>("interface");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("scenario");
    const QStringList scenarios = {"reading",     "five readings", "refused",
                                   "no reply",    "not a number",  "peer closes",
                                   "bad address", "slow",          "second line"};
    const QStringList interfaces = {"GPIB", "LAN (SCPI socket)", "LAN (VXI-11)", "USB-TMC"};
    const QStringList kinds = {"gpib", "lan", "vxi11", "pty"};
    for (int i = 0; i < interfaces.size(); ++i)
        for (const QString &scenario : scenarios)
            if (kinds[i] != "gpib" || (scenario != "bad address" && scenario != "second line"))
                QTest::addRow("%s, %s", qPrintable(kinds[i]), qPrintable(scenario))
                    << interfaces[i] << kinds[i] << scenario;
}

// Each case as the user meets it: what the status bar, the table, the progress bar and the
// boxes say. A failure gives one box (a reply that is not a number none) and ends the
// operation; a run keeps the readings before it and says from how many its point is.
void TestInterfaces::sharedCases()
{
    QFETCH(QString, interface);
    QFETCH(QString, kind);
    QFETCH(QString, scenario);
    const bool gpib = kind == "gpib";
    const bool run = scenario == "five readings" || scenario == "not a number" ||
                     scenario == "peer closes" || scenario == "slow";

    StandIn standIn;
    QString address;
    QStringList options;
    if (scenario == "no reply")
        options << "--silent";
    if (scenario == "not a number")
        options << "--not-number-at"
                << "3";
    if (scenario == "peer closes")
        options << "--close-at"
                << "3";
    if (scenario == "slow")
        options << "--delay"
                << "150";
    if (scenario == "second line")
        options << "--second-line";
    if (gpib) {
        for (int i = 1; i <= 5; ++i) {
            fake->script.answer("CALC:MARK:X?", QByteArray::number(1000 * i) + '\n');
            fake->script.answer("CALC:MARK:Y?", i == 3 && scenario == "not a number"
                                                    ? QByteArray("OVLD\n")
                                                    : QByteArray::number(i) + '\n');
            if (scenario == "no reply")
                fake->script.replies.clear();
        }
        if (scenario == "refused")
            fake->script.failIbdev({0x8000, 0, 0});
        if (scenario == "peer closes")
            fake->script.failWrite("CALC:MARK:Y?", {0x8100, 2, 0}, 1, 2);
        if (scenario == "slow")
            fake->script.readDelayMs = 150;
    } else if (scenario == "refused") {
        if (kind == "lan") {
            // A port just given up: nobody listens there.
            const int listener = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in free = {};
            free.sin_family = AF_INET;
            free.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t length = sizeof free;
            bind(listener, reinterpret_cast<sockaddr *>(&free), length);
            getsockname(listener, reinterpret_cast<sockaddr *>(&free), &length);
            close(listener);
            address = QStringLiteral("127.0.0.1:%1").arg(ntohs(free.sin_port));
        } else if (kind == "vxi11") {
            QProcess::execute(QStringLiteral(ANALYSER_STANDIN), {"unregister"});
            address = QStringLiteral("127.0.0.1");
        } else {
            address = QStringLiteral("/dev/usbtmc-absent");
        }
    } else if (scenario == "bad address") {
        address = kind == "lan"     ? "127.0.0.1:99999"
                  : kind == "vxi11" ? "127.0.0.1:5025"
                                    : "usbtmc0";
    } else {
        address = standIn.start(kind, options);
        QVERIFY2(!address.isEmpty(),
                 qPrintable(kind == "vxi11" ? "The VXI-11 stand-in did not start (is "
                                              "rpcbind running? scripts/test starts it): " +
                                                  standIn.errors()
                                            : standIn.errors()));
    }
    choose(interface, address);
    QCOMPARE(child<QComboBox>("cbInterface")->currentText(), interface);

    window->statusBar()->showMessage(QStringLiteral("before"));
    int ticks = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
    clock.start(10);
    if (run) {
        startRun(5);
        if (scenario == "slow") {
            // Stop is served while the first reading is in flight; that reading still comes
            // and closes the run. The window's own timers keep running meanwhile.
            QTest::qWait(100);
            child<QPushButton>("pbStartMeasure")->click();
            QCOMPARE(child<QPushButton>("pbStartMeasure")->text(), QStringLiteral("Start"));
        }
        QVERIFY(runEnded());
    } else {
        QVERIFY(instrumenttest::pressAndWait(child<QPushButton>("pbGetMarkerPos")));
    }
    const QList<instrumenttest::SeenBox> seen = boxes->boxes();
    const QString title = gpib ? "GPIB Error" : "Instrument Error";
    const QString where = kind == "vxi11" ? address + " (VXI-11 inst0)" : address;
    auto *table = testhelpers::tableModel(window);
    const int progress = child<QProgressBar>("progressBar")->value();

    if (scenario == "reading") {
        QVERIFY(seen.isEmpty());
        QVERIFY2(status().startsWith(gpib ? "Marker Pos: X = 1000; Y = 1"
                                          : "Marker Pos: X = 5e+06; Y = -9"),
                 qPrintable(status()));
        auto *label = window->findChild<QLabel *>(QStringLiteral("lbInstrument"));
        QCOMPARE(label->text(), gpib ? QString("GPIB 21") : QString("Vantorel Loopback SA-1"));
        if (!gpib)
            QCOMPARE(label->toolTip(), "Vantorel,Loopback SA-1,0,1.0\n" + where);
    } else if (scenario == "five readings") {
        QVERIFY(seen.isEmpty());
        QCOMPARE(table->rowCount(), 1);
        QVERIFY2(status().startsWith("Point added: X = "), qPrintable(status()));
        QCOMPARE(progress, 100);
    } else if (scenario == "refused" || scenario == "no reply") {
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].title, title);
        const QString expected =
            gpib                     ? (scenario == "refused" ? "ibdev error" : "ibrd error")
            : scenario == "no reply" ? "No reply from " + where + " within 1 s to *IDN?"
            : kind == "lan" ? "Could not connect to " + where + ": " + systemText(ECONNREFUSED)
            : kind == "vxi11"
                ? "Could not connect to 127.0.0.1: no VXI-11 device inst0 answers there"
                : "Could not open /dev/usbtmc-absent: " + systemText(ENOENT);
        QVERIFY2(seen[0].text.startsWith(expected), qPrintable(seen[0].text));
        QVERIFY2(status().startsWith("Marker not read: "), qPrintable(status()));
    } else if (scenario == "second line") {
        // The second line is an error of this operation, not the answer to the next question.
        QVERIFY(seen.isEmpty());
        QCOMPARE(status(), QStringLiteral("The analyser sent more than one reply to *IDN?: "
                                          "Vantorel,Loopback SA-1,0,1.0 -99.5"));
    } else if (scenario == "bad address") {
        QVERIFY(seen.isEmpty());
        QVERIFY2(status().startsWith("Address not accepted: "), qPrintable(status()));
        QVERIFY(!child<QLineEdit>("leInstrumentAddress")->toolTip().isEmpty());
    } else if (scenario == "slow") {
        QVERIFY(seen.isEmpty());
        QVERIFY2(ticks > 10, qPrintable(QString::number(ticks)));
        QVERIFY2(status().startsWith("Point added from 1 of 5 readings: ") &&
                     status().endsWith("dY = 0 (one reading: spread unknown). Stop was pressed"),
                 qPrintable(status()));
        QCOMPARE(progress, 20);
    } else {
        // A reply that is not a number, or a peer that goes away, at the third reading.
        QCOMPARE(seen.size(), scenario == "peer closes" ? 1 : 0);
        QCOMPARE(table->rowCount(), 1);
        QVERIFY2(status().startsWith("Point added from 2 of 5 readings: "), qPrintable(status()));
        if (scenario == "not a number")
            QVERIFY(status().endsWith("The analyser's reply is not a number: OVLD"));
        else
            QCOMPARE(seen[0].title, title);
        QCOMPARE(progress, 40);
    }
}

void TestInterfaces::addressField_data()
{
    QTest::addColumn<QString>("interface");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("where");
    const QString lan = "LAN (SCPI socket)", vxi = "LAN (VXI-11)", usb = "USB-TMC";
    QTest::newRow("IPv4") << lan << "127.0.0.5" << lan << "127.0.0.5:5025";
    QTest::newRow("name and port") << lan << "analyser.lab:5555" << lan << "analyser.lab:5555";
    QTest::newRow("IPv6") << lan << "[::1]" << lan << "[::1]:5025";
    QTest::newRow("IPv6 without brackets") << lan << "::1" << lan << QString();
    QTest::newRow("port out of range") << lan << "127.0.0.1:70000" << lan << QString();
    QTest::newRow("not an IPv4 address") << lan << "127.0.0.300" << lan << QString();
    QTest::newRow("VISA socket") << vxi << "TCPIP0::127.0.0.2::5025::SOCKET" << lan
                                 << "127.0.0.2:5025";
    QTest::newRow("VISA VXI-11") << lan << "TCPIP0::127.0.0.2::inst1::INSTR" << vxi
                                 << "127.0.0.2 (VXI-11 inst1)";
    QTest::newRow("VISA GPIB") << lan << "GPIB0::7::INSTR"
                               << "GPIB"
                               << "GPIB 7";
    QTest::newRow("VISA USB") << usb << "USB0::0x1AB1::0x0588::INSTR" << usb << QString();
    QTest::newRow("device file") << usb << "/dev/usbtmc1" << usb << "/dev/usbtmc1";
    QTest::newRow("not a device file") << usb << "usbtmc1" << usb << QString();
    QTest::newRow("a folder") << usb << "/tmp" << usb << QString();
}

// The Address field as it is typed: an address names the instrument in the label until the
// instrument names itself, a VISA resource string chooses its interface, and anything else is
// marked with a hint in its tooltip.
void TestInterfaces::addressField()
{
    QFETCH(QString, interface);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QFETCH(QString, where);
    child<QComboBox>("cbInterface")->setCurrentText(interface);
    QTest::keyClicks(child<QLineEdit>("leInstrumentAddress"), typed);
    QCOMPARE(child<QComboBox>("cbInterface")->currentText(), chosen);
    auto *field = child<QLineEdit>("leInstrumentAddress");
    QCOMPARE(field->toolTip().isEmpty(), !where.isEmpty());
    QCOMPARE(field->isHidden(), chosen == "GPIB");
    if (!where.isEmpty())
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("lbInstrument"))->text(), where);
}

// A name server that does not answer costs the 1-second time-out, not the resolver's own.
void TestInterfaces::hostLookupIsBounded()
{
    choose("LAN (SCPI socket)", "analyser.invalid");
    HostLookup::setResolver(slowResolver);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(instrumenttest::pressAndWait(child<QPushButton>("pbGetMarkerPos")));
    QVERIFY(clock.elapsed() < 2000);
    HostLookup::setResolver(failingResolver);
    QVERIFY(instrumenttest::pressAndWait(child<QPushButton>("pbGetMarkerPos")));
    QCOMPARE(boxes->boxes().size(), 2);
    QCOMPARE(boxes->boxes()[0].text,
             QStringLiteral("Could not find the host analyser.invalid: the name was not found "
                            "within 1 s"));
    QVERIFY(boxes->boxes()[1].text.startsWith("Could not find the host analyser.invalid: "));
}

// A reply that comes after its time-out stays in a USB-TMC device; it is dropped before the
// next command, and said. The next reading gets its own X and Y, not the late Y as its X.
void TestInterfaces::lateReplyIsNotTheNextAnswer()
{
    StandIn standIn;
    const QString address = standIn.start("pty", {"--late-at", "1"});
    QVERIFY2(!address.isEmpty(), qPrintable(standIn.errors()));
    choose("USB-TMC", address);
    QVERIFY(instrumenttest::pressAndWait(child<QPushButton>("pbGetMarkerPos")));
    QCOMPARE(boxes->boxes().size(), 1);
    QVERIFY(boxes->boxes()[0].text.startsWith("No reply from "));
    QTest::qWait(600); // the late reply arrives meanwhile
    QVERIFY(instrumenttest::pressAndWait(child<QPushButton>("pbGetMarkerPos")));
    QCOMPARE(boxes->boxes().size(), 1);
    QVERIFY2(status().startsWith("Marker Pos: X = 5e+06; Y = -9"), qPrintable(status()));
    QVERIFY(status().contains(" (A late reply from " + address + " was discarded: -9"));
}

// An identity with markup is shown as the text it is, cut to 40 characters, and neither grows
// the window nor passes for another instrument's name.
void TestInterfaces::identityIsShownAsText()
{
    StandIn standIn;
    const QString identity = "<img width=3000 height=2000>,<b>GPIB 21</b>,0,1.0";
    const QString address = standIn.start("lan", {"--idn", identity});
    QVERIFY2(!address.isEmpty(), qPrintable(standIn.errors()));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QSize size = window->size();
    choose("LAN (SCPI socket)", address);
    QVERIFY(instrumenttest::pressAndWait(child<QPushButton>("pbGetMarkerPos")));
    auto *label = window->findChild<QLabel *>(QStringLiteral("lbInstrument"));
    QCOMPARE(label->text(), "<img width=3000 height=2000> <b>GPIB 21" + QString(QChar(0x2026)));
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY(label->toolTip().contains(identity.toHtmlEscaped()));
    QCoreApplication::processEvents();
    QCOMPARE(window->size(), size);
    QVERIFY(label->width() < label->fontMetrics().horizontalAdvance(label->text()) + 20);
}

// A data file typed as the USB-TMC device is refused with a hint before anything is written to
// it: the file keeps its points.
void TestInterfaces::usbTmcOpensOnlyDevices()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("points.txt"));
    const QByteArray points = "1\t2\t0.1\n3\t4\t0.1\n5\t6\t0.1\n7\t8\t0.1\n";
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(points) == points.size());
    file.close();
    child<QComboBox>("cbInterface")->setCurrentText("USB-TMC");
    QTest::keyClicks(child<QLineEdit>("leInstrumentAddress"), file.fileName());
    const QString hint = child<QLineEdit>("leInstrumentAddress")->toolTip();
    QCOMPARE(hint, file.fileName() + " is a file, not a USB-TMC device: type the device file, "
                                     "for example /dev/usbtmc0");
    child<QPushButton>("pbGetMarkerPos")->click();
    QCOMPARE(status(), "Address not accepted: " + hint);
    startRun(2);
    QCOMPARE(status(), "Address not accepted: " + hint);
    QVERIFY(boxes->boxes().isEmpty() && file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), points);
}

namespace {

// A connection over a pipe, to hand writeLine a transport of the test's making.
class PipeConnection : public InstrumentConnection
{
public:
    bool open() override { return opened = true; }
    bool clear() override { return true; }
    bool write(const QByteArray &) override { return false; }
    std::optional<QByteArray> read() override { return std::nullopt; }
    void close() override { opened = false; }
    using InstrumentConnection::writeLine;
};

} // namespace

// A transport that takes one byte a write, and refuses every other write for the moment, still
// gets the whole command in order; one that takes nothing is reported as that, not with an
// error number left over from an earlier call.
void TestInterfaces::commandWrittenInPieces()
{
    int ends[2];
    QVERIFY(pipe(ends) == 0);
    PipeConnection connection;
    for (const int takes : {1, 0}) {
        int calls = 0;
        errno = EACCES;
        connection.open();
        const bool written = connection.writeLine(
            ends[1], "CALC:MARK:Y?", "pipe", [&](const char *bytes, size_t) -> ssize_t {
                if (++calls % 2 == 0) {
                    errno = EAGAIN;
                    return -1;
                }
                return takes == 0 ? 0 : ::write(ends[1], bytes, 1);
            });
        QCOMPARE(written, takes == 1);
    }
    char buffer[64] = {};
    const ssize_t count = ::read(ends[0], buffer, sizeof buffer);
    ::close(ends[0]);
    ::close(ends[1]);
    QCOMPARE(QByteArray(buffer, static_cast<int>(count)), QByteArray("CALC:MARK:Y?\n"));
    QCOMPARE(connection.failure().text, "Could not send CALC:MARK:Y? to pipe: no byte was taken");
}

VANTOREL_TEST_MAIN(TestInterfaces)
#include "tst_interfaces.moc"
