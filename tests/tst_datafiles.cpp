// Data text files: opening appends the points of a file whatever it holds, saving writes the
// table with 6 significant digits and never destroys a good file, and a failed save says so.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
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

#include "app/mainwindow.h"
#include "data/datafilereader.h"
#include "data/datafilewriter.h"
#include "testhelpers.h"

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
    void longLineIsReadInPiecesOf1023Bytes();
    void appendsInFileOrderAndTwiceDoubles();
    void cancelledOpenStillRefreshes();
    void pipesAndSocketsAreRefused_data();
    void pipesAndSocketsAreRefused();
    void savesSixSignificantDigits();
    void savedFileReadsBackToSixDigits();
    void emptyTableGivesEmptyFile();
    void cancelledSaveWritesNothing();
    void failedSaveKeepsOldFileAndSaysWhy();
    void fullDiskIsReported();
    void unwritableTargetsAreReported();

private:
    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        return testhelpers::writeFile(dir.filePath(name), bytes);
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
    // whether to replace it, which is answered with Yes.
    void save(const QString &path)
    {
        testhelpers::answerFileDialog(path);
        if (QFileInfo::exists(path))
            testhelpers::answerReplace();
        window->findChild<QAction *>(QStringLiteral("actionSave"))->trigger();
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
    QTest::newRow("fields after the third") << QByteArray("1\t2\t3\t4\n") << Rows{{1, 2, 3}} << 0;
    QTest::newRow("blanks instead of TABs") << QByteArray("1.5 2 0.1\n") << Rows{} << 1;
    QTest::newRow("comma decimals") << QByteArray("1,5\t2,0\n") << Rows{} << 1;
    QTest::newRow("group separator") << QByteArray("1,000\t5\n2\t3\n") << Rows{{2, 3, 0}} << 1;
    QTest::newRow("header line") << QByteArray("X\tY\tdY\n") << Rows{} << 1;
    QTest::newRow("dY that is no number")
        << QByteArray("1\t2\tn/a\n3\t4\t\n") << Rows{{1, 2, 0}, {3, 4, 0}} << 0;
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
    QTest::newRow("NUL ends the text of its line")
        << QByteArray("1\t2\0\t9\n3\t4\t5\n\0\t6\t7\n", 19) << Rows{{1, 2, 0}, {3, 4, 5}} << 1;
    QTest::newRow("not UTF-8") << QByteArray("\xff\xfe\t2\t3\n1\t\xc3\x28\t\x80\n") << Rows{} << 2;
    QTest::newRow("empty file") << QByteArray() << Rows{} << 0;
}

// Every line goes through the real "Open Data" with the file dialog answered; lines that hold
// no point are counted in the status bar, a file read whole leaves it empty.
void TestDataFiles::readsLines()
{
    QFETCH(QByteArray, content);
    QFETCH(Rows, expected);
    QFETCH(int, skipped);
    testhelpers::DebugCapture debug;
    const QString path = writeFile(QStringLiteral("lines.txt"), content);
    open(path);
    QCOMPARE(rows(), expected);
    QCOMPARE(debug.count(QStringLiteral("Update graph")), 1);
    QCOMPARE(statusText(), skipped == 0 ? QString()
                                        : QStringLiteral("Read %1 points from %2; skipped %3 "
                                                         "lines without numbers")
                                              .arg(expected.size())
                                              .arg(path)
                                              .arg(skipped));
}

// A line longer than one read goes on as a line of its own: here the first 1023 bytes end in
// a field of letters, the rest is a complete point.
void TestDataFiles::longLineIsReadInPiecesOf1023Bytes()
{
    QByteArray first = "1\t2\t";
    first += QByteArray(DataFileReader::pieceLength - first.size(), 'x');
    QCOMPARE(first.size(), 1023);
    QByteArray exact = "8\t9\t";
    exact += QByteArray(DataFileReader::pieceLength - exact.size(), ' ');
    open(writeFile(QStringLiteral("long.txt"), first + "5\t6\t7\n" + exact + "\n" + "3\t4\r\n"));
    QCOMPARE(rows(), (Rows{{1, 2, 0}, {5, 6, 7}, {8, 9, 0}, {3, 4, 0}}));
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

void TestDataFiles::pipesAndSocketsAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("message");
    const QString open = QStringLiteral("Could not open %1: not a regular file");
    QTest::newRow("open a pipe") << "fifo"
                                 << "actionOpen" << open;
    QTest::newRow("open a socket") << "socket"
                                   << "actionOpen" << open;
    QTest::newRow("calibration from a pipe") << "fifo"
                                             << "tbOpenCalibration" << open;
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

    if (operation == QLatin1String("actionSave") || operation == QLatin1String("actionSaveGraph"))
        testhelpers::answerReplace();
    testhelpers::answerFileDialog(path);
    if (operation == QLatin1String("tbOpenCalibration"))
        window->findChild<QToolButton *>(operation)->click();
    else
        window->findChild<QAction *>(operation)->trigger();
    if (fd >= 0)
        ::close(fd);
    QCOMPARE(statusText(), message.arg(path));
    QCOMPARE(rows(), (Rows{{1, 2, 3}}));
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("leCalibrationFile"))->text(),
             calibration);
}

void TestDataFiles::savesSixSignificantDigits()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    addPoint(0.5, -3, 0.25);
    addPoint(1234567, 100, 0.00001);
    const QString path = dir.filePath(QStringLiteral("saved.txt"));
    save(path);
    QLocale::setDefault(previous);
    QCOMPARE(readFile(path), QByteArray("0.5\t-3\t0.25\n1.23457e+06\t100\t1e-05\n"));
    QCOMPARE(statusText(), QString());
    QCOMPARE(rows(), (Rows{{0.5, -3, 0.25}, {1234567, 100, 0.00001}}));
}

void TestDataFiles::savedFileReadsBackToSixDigits()
{
    addPoint(1234567, 0.1, 2.7182818);
    const QString path = dir.filePath(QStringLiteral("roundtrip.txt"));
    save(path);
    QMetaObject::invokeMethod(window, "on_actionClear_triggered");
    open(path);
    QCOMPARE(rows(), (Rows{{1234570, 0.1, 2.71828}}));
}

// Also over an existing file, which is replaced by the empty one.
void TestDataFiles::emptyTableGivesEmptyFile()
{
    const QString path = writeFile(QStringLiteral("empty.txt"), "old\tcontent\n");
    save(path);
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(readFile(path), QByteArray());
    QCOMPARE(statusText(), QString());
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

// A write that fails half way (here the process may not write files beyond 4 KiB) leaves the
// old file exactly as it was, leaves no temporary file behind and names file and reason. The
// program itself keeps the file-size signal from ending it; the test leaves that signal alone.
void TestDataFiles::failedSaveKeepsOldFileAndSaysWhy()
{
    const QByteArray good = "1\t2\t3\n4\t5\t6\n";
    const QString path = writeFile(QStringLiteral("good.txt"), good);
    for (int i = 0; i < 1000; ++i)
        addPoint(i, 2 * i, 0.5);
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);

    struct rlimit previous;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    struct rlimit small = previous;
    small.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    save(path);
    ::setrlimit(RLIMIT_FSIZE, &previous);

    QCOMPARE(readFile(path), good);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), files);
    QCOMPARE(statusText(), QStringLiteral("Could not save %1: File too large").arg(path));
}

// /dev/full takes no data, like a full disk. It is a device, so it is written directly.
void TestDataFiles::fullDiskIsReported()
{
    addPoint(1, 2, 3);
    save(QStringLiteral("/dev/full"));
    QCOMPARE(statusText(), QStringLiteral("Could not save /dev/full: No space left on device"));
    QVERIFY(!QFileInfo(QStringLiteral("/dev/full")).isFile());

    // A later save that works is silent and writes the file.
    const QString path = dir.filePath(QStringLiteral("after.txt"));
    window->statusBar()->clearMessage();
    save(path);
    QCOMPARE(readFile(path), QByteArray("1\t2\t3\n"));
    QCOMPARE(statusText(), QString());
}

void TestDataFiles::unwritableTargetsAreReported()
{
    addPoint(1, 2, 3);
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/out.txt"));
    save(missing);
    QCOMPARE(statusText(),
             QStringLiteral("Could not save %1: No such file or directory").arg(missing));
    QVERIFY(!QFileInfo::exists(missing));

    // A folder cannot be chosen in the dialog (it opens the folder), so the writer is asked.
    QString error;
    QVERIFY(!DataFileWriter::write(dir.path(), {1}, {2}, {3}, &error));
    QCOMPARE(error, QStringLiteral("Filename refers to a directory"));
    QVERIFY(QFileInfo(dir.path()).isDir());
}

VANTOREL_TEST_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
