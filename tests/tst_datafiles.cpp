// Data text files: opening appends the points of a file whatever it holds, or nothing when it
// cannot be read to its end; saving writes the table with every digit, never destroys a good
// file, and a failed save says so. Big files are read and written beside the window, with
// Cancel. The graph export keeps a good picture the same way.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "app/mainwindow.h"
#include "data/datafilereader.h"
#include "data/datafilewriter.h"
#include "data/replacingfile.h"
#include "testhelpers.h"

// While not 0, every request for more memory than this fails, as on a machine that has no more.
// (AddressSanitizer brings allocation functions of its own, which these would be mixed with.)
static std::atomic<std::size_t> largestAllocation{0};

#if !defined(__SANITIZE_ADDRESS__)
void *operator new(std::size_t size)
{
    const std::size_t largest = largestAllocation.load();
    void *memory = largest != 0 && size > largest ? nullptr : std::malloc(size ? size : 1);
    if (!memory)
        throw std::bad_alloc();
    return memory;
}

void operator delete(void *memory) noexcept
{
    std::free(memory);
}

void operator delete(void *memory, std::size_t) noexcept
{
    std::free(memory);
}
#endif

// A reason as the system gives it, in the language of the desktop.
static QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

using Rows = QList<QList<double>>;
Q_DECLARE_METATYPE(Rows)

class TestDataFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsLines_data();
    void readsLines();
    void longLineIsSkippedWhole();
    void appendsInFileOrderAndTwiceDoubles();
    void cancelledOpenStillRefreshes();
    void bigFilesCanBeCancelled();
    void bigFilesShowProgressAndKeepLatePoints();
    void readErrorAddsNothing();
    void outOfMemoryKeepsTheTable();
    void pipesAndSocketsAreRefused_data();
    void pipesAndSocketsAreRefused();
    void savesEveryDigit();
    void valueNotFiniteIsNeverWritten();
    void emptyTableGivesEmptyFile();
    void cancelledSaveWritesNothing();
    void failedSaveOrExportKeepsTheOldFile_data();
    void failedSaveOrExportKeepsTheOldFile();
    void folderIsNoFile();
    void saveKeepsWhatTheFileWas_data();
    void saveKeepsWhatTheFileWas();
    void newFileStaysPrivate();

private:
    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        return testhelpers::writeFile(dir.filePath(name), bytes);
    }
    // A file of a million points, big enough that reading it goes on beyond the dialog's delay.
    QString writeBigFile()
    {
        QByteArray content;
        for (int i = 0; i < 1000000; ++i)
            content += "1.5\t-2.25\t0.5\n";
        return writeFile(QStringLiteral("big.txt"), content);
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void open(const QString &path)
    {
        testhelpers::answerFileDialog(path);
        window->findChild<QAction *>(QStringLiteral("actionOpen"))->trigger();
    }
    // Saves through "Save Data"; an existing target also brings up the dialog's question
    // whether to replace it, which is answered with Yes. The text of a warning box that a
    // failure brings up goes to warning.
    void save(const QString &path, const char *action = "actionSave")
    {
        warning.clear();
        testhelpers::answerFileDialog(path);
        if (QFileInfo::exists(path))
            testhelpers::answerReplace();
        testhelpers::answerWarning(&warning);
        window->findChild<QAction *>(QLatin1String(action))->trigger();
    }
    void addPoint(double x, double y, double dy)
    {
        QVERIFY(QMetaObject::invokeMethod(window, "addPoint", Q_ARG(double, x), Q_ARG(double, y),
                                          Q_ARG(double, dy)));
    }
    Rows rows() const { return testhelpers::tableRows(window); }
    QString statusText() const { return window->statusBar()->currentMessage(); }

    MainWindow *window = nullptr;
    QAbstractItemModel *model = nullptr;
    QTemporaryDir dir;
    QString warning;
};

void TestDataFiles::init()
{
    QVERIFY(dir.isValid());
    window = new MainWindow;
    model = testhelpers::tableModel(window);
    QVERIFY(model);
}

void TestDataFiles::cleanup()
{
    delete window;
    window = nullptr;
}

void TestDataFiles::readsLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Rows>("expected");
    QTest::addColumn<int>("skipped");
    QTest::newRow("three fields") << QByteArray("1.5\t2\t0.1\n") << Rows{{1.5, 2, 0.1}} << 0;
    QTest::newRow("two fields") << QByteArray("1.5\t2\n") << Rows{{1.5, 2, 0}} << 0;
    QTest::newRow("fields after the third") << QByteArray("1\t2\t3\t4\n5\t6\t7\t\n8\t9\n")
                                            << Rows{{1, 2, 3}, {5, 6, 7}, {8, 9, 0}} << 0;
    QTest::newRow("blanks instead of TABs") << QByteArray("1.5 2 0.1\n") << Rows{} << 1;
    QTest::newRow("comma decimals") << QByteArray("1,5\t2,0\n") << Rows{} << 1;
    QTest::newRow("group separator") << QByteArray("1,000\t5\n2\t3\n") << Rows{{2, 3, 0}} << 1;
    QTest::newRow("header line") << QByteArray("X\tY\tdY\n") << Rows{} << 1;
    QTest::newRow("dY that is no number")
        << QByteArray("1\t2\tn/a\n3\t4\t\n5\t6\t 0,25\n7\t8\t1e999\n")
        << Rows{{1, 2, 0}, {3, 4, 0}, {5, 6, 0}, {7, 8, 0}} << 0;
    QTest::newRow("empty X or Y") << QByteArray("\t\t\n\t7\n8\t\n") << Rows{} << 2;
    QTest::newRow("blank and one-field lines") << QByteArray("\n\n5\n  \n") << Rows{} << 1;
    QTest::newRow("white space around numbers")
        << QByteArray(" 1.5 \t 2\t0.1 ") << Rows{{1.5, 2, 0.1}} << 0;
    QTest::newRow("exponents and signs")
        << QByteArray("1e3\t-2.5E-2\t+3\n") << Rows{{1000, -0.025, 3}} << 0;
    QTest::newRow("not finite") << QByteArray("nan\t1\n1\tinf\n1e999\t2\t3\n") << Rows{} << 3;
    QTest::newRow("CR LF") << QByteArray("1\t2\t3\r\n4\t5\t6\r\n") << Rows{{1, 2, 3}, {4, 5, 6}}
                           << 0;
    QTest::newRow("UTF-8 byte order mark") << QByteArray("\xef\xbb\xbf"
                                                         "1\t2\t3\n")
                                           << Rows{{1, 2, 3}} << 0;
    QTest::newRow("spreadsheet export")
        << QByteArray("X\tY\tdY\r1,5\t2,0\t0,1\r1.5\t2\t0.1\r") << Rows{{1.5, 2, 0.1}} << 2;
    QTest::newRow("no final line end")
        << QByteArray("1\t2\t3\n4\t5") << Rows{{1, 2, 3}, {4, 5, 0}} << 0;
    QTest::newRow("a NUL makes its line unreadable")
        << QByteArray("1\t2\0\t9\n3\t4\t5\n\0\t6\t7\n2\t-3\0003.5\t0.1\n", 32) << Rows{{3, 4, 5}}
        << 3;
    QTest::newRow("not UTF-8") << QByteArray("\xff\xfe\t2\t3\n1\t\xc3\x28\t\x80\n") << Rows{} << 2;
    QTest::newRow("empty file") << QByteArray() << Rows{} << 0;
}

// Every line goes through the real "Open Data" with the file dialog answered; the status bar
// says how many points were read, and counts the lines that hold no point.
void TestDataFiles::readsLines()
{
    QFETCH(QByteArray, content);
    QFETCH(Rows, expected);
    QFETCH(int, skipped);
    const int extraFields = QTest::currentDataTag() == QByteArray("fields after the third") ? 2 : 0;
    testhelpers::DebugCapture debug;
    const QString path = writeFile(QStringLiteral("lines.txt"), content);
    open(path);
    QCOMPARE(rows(), expected);
    QCOMPARE(debug.count(QStringLiteral("Update graph")), 1);
    // Present dY fields that are not numbers are counted (an empty one is missing, as in a
    // file of two columns).
    const int unreadableDy = QTest::currentDataTag() == QByteArray("dY that is no number") ? 3 : 0;
    QString message = QStringLiteral("Read %1 points from %2").arg(expected.size()).arg(path);
    if (skipped > 0)
        message += QStringLiteral("; skipped %1 lines without numbers").arg(skipped);
    if (unreadableDy > 0)
        message +=
            QStringLiteral("; %1 dY fields were not numbers and read as 0").arg(unreadableDy);
    if (extraFields > 0)
        message += QStringLiteral("; %1 lines had more than three fields (the rest was ignored)")
                       .arg(extraFields);
    QCOMPARE(statusText(), message);
}

// A line longer than 1023 bytes is skipped whole and counted, however long it is; its pieces
// never pass for points of their own. A line of exactly 1023 bytes is read.
void TestDataFiles::longLineIsSkippedWhole()
{
    QByteArray exact = "8\t9\t";
    exact += QByteArray(DataFileReader::maxLineLength - exact.size(), ' ');
    QCOMPARE(exact.size(), 1023);
    const QByteArray digits = "1." + QByteArray(1100, '5') + "\t7\t0.1";
    const QByteArray spaces = QByteArray(1020, ' ') + "12.5\t3.4\t0.1";
    const QByteArray oneMore = "1\t2\t" + QByteArray(DataFileReader::maxLineLength - 3, '0');
    const QString path =
        writeFile(QStringLiteral("long.txt"), digits + "\n" + exact + "\r\n" + spaces + "\r" +
                                                  oneMore + "\n3\t4\n" + QByteArray(70000, 'x'));
    open(path);
    QCOMPARE(rows(), (Rows{{8, 9, 0}, {3, 4, 0}}));
    QCOMPARE(statusText(),
             QStringLiteral("Read 2 points from %1; skipped 4 lines without numbers").arg(path));
}

void TestDataFiles::appendsInFileOrderAndTwiceDoubles()
{
    addPoint(-1, -2, -3);
    const QString path = writeFile(QStringLiteral("two.txt"), "3\t30\t0.3\n1\t10\t0.1\n");
    open(path);
    open(path);
    QCOMPARE(rows(), (Rows{{-1, -2, -3}, {3, 30, 0.3}, {1, 10, 0.1}, {3, 30, 0.3}, {1, 10, 0.1}}));
}

void TestDataFiles::cancelledOpenStillRefreshes()
{
    addPoint(1, 2, 3);
    testhelpers::DebugCapture debug;
    testhelpers::cancelFileDialog();
    window->findChild<QAction *>(QStringLiteral("actionOpen"))->trigger();
    QCOMPARE(rows(), (Rows{{1, 2, 3}}));
    QCOMPARE(debug.lines(), QStringList({"Update graph"}));
}

// A big file is read and written beside the window; its progress dialog offers Cancel. A
// cancelled open adds nothing, a cancelled save leaves the old file as it was.
void TestDataFiles::bigFilesCanBeCancelled()
{
    const QString path = writeBigFile();
    window->show();
    window->setFileDialogDelay(0);
    const auto cancelProgress = [] {
        testhelpers::answerModal([](QWidget *modal) {
            auto *dialog = qobject_cast<QProgressDialog *>(modal);
            if (!dialog || dialog->objectName() != QLatin1String("FileProgress"))
                return false;
            QMetaObject::invokeMethod(dialog->findChild<QPushButton *>(), "click",
                                      Qt::QueuedConnection);
            return true;
        });
    };
    addPoint(1, 2, 3);
    cancelProgress();
    open(path);
    QTRY_COMPARE(statusText(),
                 QStringLiteral("Open Data cancelled: nothing was read from %1").arg(path));
    QCOMPARE(rows(), (Rows{{1, 2, 3}}));

    open(path);
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1000001, 60000);
    const QString old = writeFile(QStringLiteral("old.txt"), "old\n");
    cancelProgress();
    save(old);
    QTRY_COMPARE(statusText(), QStringLiteral("Save Data cancelled: %1 was not changed").arg(old));
    QCOMPARE(readFile(old), QByteArray("old\n"));
    QCOMPARE(QDir(dir.path()).entryList({".vantorel-*"}, QDir::Files | QDir::Hidden),
             QStringList());
}

// While a big file is read or written, its progress bar only moves forward from 0 and ends full.
// A point that comes in meanwhile (a timed run's) is no part of the file: exit still asks, and
// waits for the file its Save writes.
void TestDataFiles::bigFilesShowProgressAndKeepLatePoints()
{
    const QString path = writeBigFile();
    window->show();
    window->setFileDialogDelay(0);
    QList<int> values;
    QString question;
    const auto addPointWhileShown = [this, &values](double x) {
        values.clear();
        testhelpers::answerModal([this, &values, x](QWidget *modal) {
            if (!modal || modal->objectName() != QLatin1String("FileProgress"))
                return false;
            auto *bar = modal->findChild<QProgressBar *>();
            values << bar->value();
            connect(bar, &QProgressBar::valueChanged, bar, [&values](int v) { values << v; });
            addPoint(x, 0, 0);
            return true;
        });
    };
    const auto closeAndCancel = [this, &question] {
        testhelpers::answerModal([&question](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (box) {
                question = box->text();
                QMetaObject::invokeMethod(box->button(QMessageBox::Cancel), "click",
                                          Qt::QueuedConnection);
            }
            return box != nullptr;
        });
        window->close();
        QVERIFY(window->isVisible());
    };

    addPointWhileShown(7);
    open(path);
    QTRY_COMPARE_WITH_TIMEOUT(statusText(), QStringLiteral("Read 1000000 points from %1").arg(path),
                              60000);
    QVERIFY(std::is_sorted(values.begin(), values.end()) && values.first() == 0);
    QCOMPARE(values.last(), 100);
    QCOMPARE(model->index(0, 0).data().toDouble(), 7.0);
    closeAndCancel();
    QCOMPARE(question, QStringLiteral("The table holds 1000001 points that have not been saved."));

    const QString saved = dir.filePath(QStringLiteral("saved.txt"));
    addPointWhileShown(8);
    save(saved);
    QTRY_COMPARE_WITH_TIMEOUT(statusText(), QStringLiteral("Saved 1000001 points to %1").arg(saved),
                              60000);
    QVERIFY(std::is_sorted(values.begin(), values.end()) && values.first() == 0);
    QCOMPARE(values.last(), 100);
    QCOMPARE(readFile(saved).count('\n'), 1000001);
    closeAndCancel();
    QCOMPARE(question, QStringLiteral("The table holds 1000002 points that have not been saved."));

    // Save, answered at close, goes on beside the window: it closes once the file is written.
    const QString atClose = dir.filePath(QStringLiteral("at-close.txt"));
    testhelpers::answerModal([&atClose](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (box) {
            testhelpers::answerFileDialog(atClose);
            QMetaObject::invokeMethod(box->button(QMessageBox::Save), "click",
                                      Qt::QueuedConnection);
        }
        return box != nullptr;
    });
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 60000);
    QCOMPARE(readFile(atClose).count('\n'), 1000002);
}

// A device that hands out its first block and then fails, as a disk with a bad sector does.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(const QByteArray &first) : first(first) { open(ReadOnly); }

protected:
    qint64 readData(char *data, qint64 length) override
    {
        if (first.isEmpty()) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        const qint64 n = std::min<qint64>(length, first.size());
        std::memcpy(data, first.constData(), static_cast<size_t>(n));
        first.remove(0, static_cast<int>(n));
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray first;
};

// A read that fails in the middle of a file is no end of file: nothing of the file is added,
// and the status bar says why.
void TestDataFiles::readErrorAddsNothing()
{
    FailingDevice device("1\t2\t3\n4\t5\t6\n");
    std::vector<DataPoint> points = {DataPoint{7, 8, 9}};
    QCOMPARE(DataFileReader::readData(device, &points), DataFileReader::ReadError);
    QCOMPARE(points.size(), size_t(1));
    QCOMPARE(device.errorString(), QStringLiteral("Input/output error"));

    addPoint(1, 2, 3);
    const QString mem = QStringLiteral("/proc/self/mem");
    open(mem);
    QCOMPARE(rows(), (Rows{{1, 2, 3}}));
    QCOMPARE(statusText(), QStringLiteral("Could not read %1: %2").arg(mem, systemText(EIO)));
}

// Memory that runs out while a file is read ends the open with a message; the table keeps
// what it held and the program goes on. Memory runs out here for every request of more than
// 16 MB, as it would on a machine without more (the points of this file need 48 MB).
void TestDataFiles::outOfMemoryKeepsTheTable()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("memory cannot be made to run out beside AddressSanitizer's own allocation functions");
#endif
    QByteArray content;
    for (int i = 0; i < 2000000; ++i)
        content += "1\t2\t3\n";
    const QString path = writeFile(QStringLiteral("huge.txt"), content);
    content.clear();
    addPoint(1, 2, 3);
    largestAllocation = 16 << 20;
    open(path);
    QTRY_COMPARE_WITH_TIMEOUT(
        statusText(),
        QStringLiteral("Could not read %1: its points do not fit into memory").arg(path), 60000);
    largestAllocation = 0;
    QCOMPARE(rows(), (Rows{{1, 2, 3}}));
}

void TestDataFiles::pipesAndSocketsAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("message");
    const QString open = QStringLiteral("Could not open %1: not a regular file");
    const QString calibration =
        QStringLiteral("Could not load calibration %1: not a regular file; the calibration in use "
                       "is unchanged");
    QTest::newRow("open a pipe") << "fifo"
                                 << "actionOpen" << open;
    QTest::newRow("open a socket") << "socket"
                                   << "actionOpen" << open;
    QTest::newRow("calibration from a pipe") << "fifo"
                                             << "tbOpenCalibration" << calibration;
    QTest::newRow("save to a pipe") << "fifo"
                                    << "actionSave"
                                    << "Could not save %1: not a regular file";
    QTest::newRow("export to a pipe") << "fifo"
                                      << "actionSaveGraph"
                                      << "Could not save graph %1: not a regular file";
}

// Reading or writing a pipe or a socket could block the window for ever: each is refused with
// a message, and neither the table nor the calibration changes.
void TestDataFiles::pipesAndSocketsAreRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, operation);
    QFETCH(QString, message);
    QTemporaryDir folder;
    const QString path = folder.filePath(kind + (operation == QLatin1String("actionSaveGraph")
                                                     ? QStringLiteral(".png")
                                                     : QStringLiteral(".txt")));
    const QByteArray native = QFile::encodeName(path);
    int fd = -1;
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    } else {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(native.size()) < sizeof address.sun_path);
        qstrcpy(address.sun_path, native.constData());
        fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    }
    const QString calibration = writeFile(QStringLiteral("calibration.txt"), "0\t0\n10\t1\n");
    testhelpers::answerFileDialog(calibration);
    window->findChild<QToolButton *>(QStringLiteral("tbOpenCalibration"))->click();
    addPoint(1, 2, 3);

    const bool save = operation.startsWith(QLatin1String("actionSave"));
    if (save) {
        testhelpers::answerReplace();
        testhelpers::answerWarning(&warning);
    }
    testhelpers::answerFileDialog(path);
    if (operation == QLatin1String("tbOpenCalibration"))
        window->findChild<QToolButton *>(operation)->click();
    else
        window->findChild<QAction *>(operation)->trigger();
    if (fd >= 0)
        ::close(fd);
    QCOMPARE(statusText(), message.arg(path));
    QCOMPARE(warning, save ? message.arg(path) : QString());
    QCOMPARE(rows(), (Rows{{1, 2, 3}}));
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("leCalibrationFile"))->text(),
             calibration);
}

// Every digit of a GHz reading and of other doubles, in the same form as ever where 6 digits
// are enough; a German desktop changes nothing. The file reads back to the same doubles.
void TestDataFiles::savesEveryDigit()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const Rows table = {{0.5, -3, 0.25},
                        {100000, 100, 0.00001},
                        {2400012345, 1234567.89, 6309573},
                        {0.1, -2.5e-300, 6.02214076e23}};
    for (const QList<double> &row : table)
        addPoint(row[0], row[1], row[2]);
    const QString path = dir.filePath(QStringLiteral("saved.txt"));
    save(path);
    QLocale::setDefault(previous);
    QCOMPARE(readFile(path), QByteArray("0.5\t-3\t0.25\n100000\t100\t1e-05\n"
                                        "2400012345\t1234567.89\t6309573\n"
                                        "0.1\t-2.5e-300\t6.02214076e+23\n"));
    QCOMPARE(statusText(), QStringLiteral("Saved 4 points to %1").arg(path));
    QMetaObject::invokeMethod(window, "on_actionClear_triggered");
    open(path);
    QCOMPARE(rows(), table);
}

// A value that is not finite would not read back: the save is refused, the window names the
// row, and the old file stays.
void TestDataFiles::valueNotFiniteIsNeverWritten()
{
    const QString path = writeFile(QStringLiteral("old.txt"), "1\t2\t3\n");
    addPoint(1, 2, 3);
    addPoint(4, std::numeric_limits<double>::infinity(), 0);
    save(path);
    const QString message =
        QStringLiteral("Could not save %1: row 2 holds a value that is not a finite number")
            .arg(path);
    QCOMPARE(warning, message);
    QCOMPARE(statusText(), message);
    QCOMPARE(readFile(path), QByteArray("1\t2\t3\n"));
}

// Also over an existing file, which is replaced by the empty one.
void TestDataFiles::emptyTableGivesEmptyFile()
{
    const QString path = writeFile(QStringLiteral("empty.txt"), "old\tcontent\n");
    save(path);
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(readFile(path), QByteArray());
    QCOMPARE(statusText(), QStringLiteral("Saved 0 points to %1").arg(path));
}

void TestDataFiles::cancelledSaveWritesNothing()
{
    addPoint(1, 2, 3);
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    testhelpers::cancelFileDialog();
    window->findChild<QAction *>(QStringLiteral("actionSave"))->trigger();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
    QCOMPARE(statusText(), QString());
}

void TestDataFiles::failedSaveOrExportKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    for (const char *action : {"actionSave", "actionSaveGraph"}) {
        const QString suffix = QLatin1String(action) == QLatin1String("actionSave")
                                   ? QStringLiteral(".txt")
                                   : QStringLiteral(".png");
        const auto row = [action](const char *name) -> QTestData & {
            return QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(action, name)))
                   << QString::fromLatin1(action);
        };
        row("file size limit") << "good" + suffix << systemText(EFBIG);
        if (suffix == QLatin1String(".txt"))
            row("full device") << "/dev/full" << systemText(ENOSPC);
        row("write-protected") << "protected" + suffix << "the file is write-protected";
        row("missing folder") << "no/such/folder/out" + suffix << systemText(ENOENT);
        row("250-character name") << QString(246, QLatin1Char('n')) + suffix << QString();
    }
}

// A save or an export that fails, half way or at once (the process may not write beyond 4 KiB,
// the device is full, the file is write-protected), leaves the old file exactly as it was and
// no temporary file behind, and a warning box names file and reason. A name as long as the
// system allows replaces its file. The program itself keeps the file-size signal from ending
// it; the test leaves that signal alone.
void TestDataFiles::failedSaveOrExportKeepsTheOldFile()
{
    QFETCH(QString, action);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    const QByteArray good = "1\t2\t3\n4\t5\t6\n";
    const QString path = target.startsWith(QLatin1Char('/')) ? target : dir.filePath(target);
    if (!target.contains(QLatin1Char('/'))) {
        writeFile(target, good);
        if (target.startsWith(QLatin1String("protected")))
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    }
    for (int i = 0; i < 1000; ++i)
        addPoint(i + 1, 2 * i, 0.5);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QMetaObject::invokeMethod(window, "updateGraph");
    const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);

    struct rlimit previous;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    struct rlimit small = previous;
    if (target.startsWith(QLatin1String("good")))
        small.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    save(path, qPrintable(action));
    ::setrlimit(RLIMIT_FSIZE, &previous);

    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), files);
    const QString noun =
        action == QLatin1String("actionSave") ? QString() : QStringLiteral("graph ");
    if (reason.isEmpty()) {
        QCOMPARE(warning, QString());
        QVERIFY(readFile(path).size() > 4096);
        return;
    }
    const QString message = QStringLiteral("Could not save %1%2: %3").arg(noun, path, reason);
    QCOMPARE(warning, message);
    QCOMPARE(statusText(), message);
    if (QFileInfo(path).isFile())
        QCOMPARE(readFile(path), good);
    else
        QVERIFY(!QFileInfo::exists(path) || !target.contains(QLatin1Char('/')) ||
                target.startsWith(QLatin1Char('/')));

    // A later save that works takes the message away; Save Data says what it wrote.
    const QString after = dir.filePath(QStringLiteral("after") + path.right(4));
    save(after, qPrintable(action));
    QCOMPARE(warning, QString());
    QCOMPARE(statusText(),
             noun.isEmpty() ? QStringLiteral("Saved 1000 points to %1").arg(after) : QString());
}

// A folder cannot be chosen in the dialog (it opens the folder), so the writer is asked.
void TestDataFiles::folderIsNoFile()
{
    QString error;
    QVERIFY(!DataFileWriter::write(dir.path(), {1}, {2}, {3}, &error));
    QCOMPARE(error, QStringLiteral("Filename refers to a directory"));
    QVERIFY(QFileInfo(dir.path()).isDir());
}

void TestDataFiles::saveKeepsWhatTheFileWas_data()
{
    QTest::addColumn<QString>("setup");
    for (const char *setup : {"mode 0600", "owner 2000:3000, mode 0664", "hard link",
                              "symbolic link", "relative link to another folder",
                              "link to another file system", "link to a file not there yet",
                              "folder that cannot be written", "hard link, write fails"})
        QTest::newRow(setup) << QString::fromLatin1(setup);
}

static struct stat statusOf(const QString &path, int (*call)(const char *, struct stat *) = ::stat)
{
    struct stat status = {};
    if (call(QFile::encodeName(path).constData(), &status) != 0)
        status.st_ino = 0;
    return status;
}

// Save Data writes the points into the file the name stands for, which stays what it was: its
// owner, group, mode and hard links; a symbolic link stays a link to it, wherever it lives. A
// write that fails into a file that has another name (so is written in place) leaves its old
// contents under both names. Nothing is left beside it.
void TestDataFiles::saveKeepsWhatTheFileWas()
{
    QFETCH(QString, setup);
    const QByteArray old = "1\t2\t3\n";
    QTemporaryDir folder, other, shm(QStringLiteral("/dev/shm/vantorel-XXXXXX"));
    const QString name = folder.filePath(QStringLiteral("points.txt"));
    QString file = name;
    QString second;
    const auto native = [](const QString &path) { return QFile::encodeName(path); };
    if (setup.contains(QLatin1String("link"))) {
        const bool otherDevice = setup.contains(QLatin1String("file system"));
        if (otherDevice && statusOf(folder.path()).st_dev == statusOf(shm.path()).st_dev)
            QSKIP("/dev/shm is on the same file system");
        file = (otherDevice ? shm : other).filePath(QStringLiteral("target.txt"));
        if (!setup.contains(QLatin1String("not there")))
            testhelpers::writeFile(file, old);
        const QString linked = setup.startsWith(QLatin1String("relative"))
                                   ? "../" + QFileInfo(other.path()).fileName() + "/target.txt"
                                   : file;
        if (setup.startsWith(QLatin1String("hard"))) {
            second = file;
            file = name;
            QCOMPARE(::link(native(second).constData(), native(name).constData()), 0);
        } else {
            QCOMPARE(::symlink(native(linked).constData(), native(name).constData()), 0);
        }
    } else {
        testhelpers::writeFile(file, old);
    }
    if (setup.startsWith(QLatin1String("owner"))) {
        if (::geteuid() != 0)
            QSKIP("only the administrator can give a file to another user");
        QCOMPARE(::chown(native(file).constData(), 2000, 3000), 0);
    }
    if (setup.startsWith(QLatin1String("mode")) || setup.startsWith(QLatin1String("owner")))
        QCOMPARE(
            ::chmod(native(file).constData(), setup.endsWith(QLatin1String("0600")) ? 0600 : 0664),
            0);
    if (setup.startsWith(QLatin1String("folder")))
        QCOMPARE(::chmod(native(folder.path()).constData(), 0500), 0);
    const struct stat before = statusOf(file);

    QByteArray expected;
    for (int i = 0; i < 1000; ++i) {
        addPoint(i + 1, 2 * i, 0.5);
        expected += DataFileWriter::formatLine(i + 1, 2 * i, 0.5);
    }
    const bool fails = setup.endsWith(QLatin1String("fails"));
    struct rlimit previous;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    struct rlimit small = previous;
    if (fails)
        small.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    save(name);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ::chmod(native(folder.path()).constData(), 0700);

    const struct stat after = statusOf(file);
    QCOMPARE(readFile(file), fails ? old : expected);
    QCOMPARE(fails ? warning : statusText(),
             fails ? QStringLiteral("Could not save %1: %2").arg(name, systemText(EFBIG))
                   : QStringLiteral("Saved 1000 points to %1").arg(name));
    if (before.st_ino != 0) {
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_nlink, before.st_nlink);
    }
    if (!second.isEmpty()) {
        QCOMPARE(statusOf(second).st_ino, after.st_ino);
        QCOMPARE(readFile(second), readFile(file));
    }
    QCOMPARE(S_ISLNK(statusOf(name, ::lstat).st_mode), file != name);
    for (const QString &place : {folder.path(), other.path(), shm.path()})
        QCOMPARE(QDir(place).entryList({".vantorel-*"}, QDir::Files | QDir::Hidden), QStringList());
}

// The new file is readable by its owner alone while it is written, whatever the old one's mode,
// and has that mode at the end.
void TestDataFiles::newFileStaysPrivate()
{
    for (mode_t mode : {mode_t(0600), mode_t(0644)}) {
        const QString path = writeFile(QStringLiteral("private.txt"), "old\n");
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
        ReplacingFile file(path);
        QVERIFY(file.open() && !file.writesInPlace());
        QCOMPARE(statusOf(file.temporaryName()).st_mode & 07777, mode_t(0600));
        QVERIFY(file.write("new\n", 4) && file.commit());
        QCOMPARE(statusOf(path).st_mode & 07777, mode);
    }
}

VANTOREL_TEST_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
