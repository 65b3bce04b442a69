// The calibration: loading its file, the interpolated correction and where it is applied
// (graph, corrected save), and the finite rule for points that share x.
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <qcustomplot.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "app/mainwindow.h"
#include "data/calibration.h"
#include "testhelpers.h"

class TestCalibration : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void interpolatesAndExtendsLinearly_data();
    void interpolatesAndExtendsLinearly();
    void sharedXGivesFiniteCorrection();
    void singlePointIsConstant();
    void sortKeepsFileOrderOfEqualX();

    void loadedCalibrationCorrectsPlottedPoints_data();
    void loadedCalibrationCorrectsPlottedPoints();
    void noCorrectionUnlessCheckedAndLoaded();
    void checkingMovesPointsButNotFitCurve();
    void loadThatFailsKeepsTheCalibration_data();
    void loadThatFailsKeepsTheCalibration();
    void correctedSaveWritesCorrectedY();
    void sharedXStaysFiniteInPlotAndFile();
    void extrapolationIsSaidAsPointsComeIn();

private:
    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        return testhelpers::writeFile(dir.filePath(name), bytes);
    }
    void load(const QString &path)
    {
        testhelpers::answerFileDialog(path);
        window->findChild<QToolButton *>(QStringLiteral("tbOpenCalibration"))->click();
    }
    void saveCorrected(const QString &path)
    {
        testhelpers::answerFileDialog(path);
        window->findChild<QPushButton *>(QStringLiteral("pbSaveDataWithCorrection"))->click();
    }
    void addPoint(double x, double y, double dy)
    {
        QVERIFY(QMetaObject::invokeMethod(window, "addPoint", Q_ARG(double, x), Q_ARG(double, y),
                                          Q_ARG(double, dy)));
    }
    // The plotted Y values, in the graph's order (ascending X).
    QList<double> plottedY() const
    {
        QList<double> values;
        QCPGraph *points = plot->graph(0);
        for (int i = 0; i < points->dataCount(); ++i)
            values << points->data()->at(i)->value;
        return values;
    }

    MainWindow *window = nullptr;
    QCustomPlot *plot = nullptr;
    QCheckBox *useCalibration = nullptr;
    QTemporaryDir dir;
};

static const QVector<QPointF> threePoints = {{0, 0}, {10, 1}, {20, 3}};

void TestCalibration::init()
{
    QVERIFY(dir.isValid());
    window = new MainWindow;
    plot = window->findChild<QCustomPlot *>(QStringLiteral("wPlot"));
    useCalibration = window->findChild<QCheckBox *>(QStringLiteral("cbUseCalibration"));
    QVERIFY(plot && useCalibration);
}

void TestCalibration::cleanup()
{
    delete window;
    window = nullptr;
}

void TestCalibration::interpolatesAndExtendsLinearly_data()
{
    QTest::addColumn<QVector<QPointF>>("points");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("correction");
    QTest::newRow("between first two") << threePoints << 5.0 << 0.5;
    QTest::newRow("between last two") << threePoints << 15.0 << 2.0;
    QTest::newRow("beyond the last") << threePoints << 25.0 << 4.0;
    QTest::newRow("below the first") << threePoints << -5.0 << -0.5;
    QTest::newRow("at the first") << threePoints << 0.0 << 0.0;
    QTest::newRow("at the middle") << threePoints << 10.0 << 1.0;
    QTest::newRow("at the last") << threePoints << 20.0 << 3.0;
    const QVector<QPointF> two = {{0, 1}, {10, 3}};
    for (double x : {-100.0, 0.0, 3.0, 10.0, 1e4})
        QTest::addRow("two points at %g", x) << two << x << 1 + 0.2 * x;
}

void TestCalibration::interpolatesAndExtendsLinearly()
{
    QFETCH(QVector<QPointF>, points);
    QFETCH(double, x);
    QFETCH(double, correction);
    // One rounding step of a few operations on small numbers.
    QVERIFY(std::abs(Calibration::correctionAt(points, x) - correction) < 1e-12);
}

// A segment whose ends share x has no slope: it gives the mean of the two corrections. Such a
// segment is chosen only at the ends of the table; inside it, a point at the shared x belongs
// to the segment ending at the first of the two, one just beyond to the segment after.
void TestCalibration::sharedXGivesFiniteCorrection()
{
    const QVector<QPointF> atStart = {{0, 2}, {0, 4}, {10, 6}};
    for (double x : {-5.0, 0.0})
        QCOMPARE(Calibration::correctionAt(atStart, x), 3.0);
    QCOMPARE(Calibration::correctionAt(atStart, 5.0), 5.0);

    const QVector<QPointF> atEnd = {{0, 0}, {10, 2}, {10, 4}};
    QCOMPARE(Calibration::correctionAt(atEnd, 5.0), 1.0);
    QCOMPARE(Calibration::correctionAt(atEnd, 10.0), 2.0);
    QCOMPARE(Calibration::correctionAt(atEnd, 15.0), 3.0);

    const QVector<QPointF> inside = {{0, 0}, {10, 1}, {10, 5}, {20, 7}};
    QCOMPARE(Calibration::correctionAt(inside, 10.0), 1.0);
    QCOMPARE(Calibration::correctionAt(inside, 15.0), 6.0);
    QCOMPARE(Calibration::correctionAt(inside, 5.0), 0.5);

    const QVector<QPointF> allEqual = {{3, 1}, {3, 2}, {3, 6}};
    QCOMPARE(Calibration::correctionAt(allEqual, 0.0), 1.5);
    QCOMPARE(Calibration::correctionAt(allEqual, 3.0), 1.5);
    QCOMPARE(Calibration::correctionAt(allEqual, 9.0), 4.0);
    QCOMPARE(Calibration::correctionAt({{3, 1}, {3, 2}}, -1e300), 1.5);
}

void TestCalibration::singlePointIsConstant()
{
    for (double x : {-1e9, 0.0, 7.0, 1e9})
        QCOMPARE(Calibration::correctionAt({{7, 0.25}}, x), 0.25);
    QCOMPARE(Calibration::correctionAt({}, 1.0), 0.0);
    QCOMPARE(Calibration::corrected({{7, 0.25}}, {1, 2, 3}, {1, 1, 1}),
             QVector<double>({0.75, 0.75, 0.75}));
}

// Points with equal x keep their file order, also in a table long enough that a sort which only
// happens to keep the order of a few would mix them.
void TestCalibration::sortKeepsFileOrderOfEqualX()
{
    QVector<QPointF> points = {{20, 3}, {10, 9}, {0, 0}, {10, 1}, {-5, 2}};
    Calibration::sortByX(points);
    QCOMPARE(points, QVector<QPointF>({{-5, 2}, {0, 0}, {10, 9}, {10, 1}, {20, 3}}));

    QVector<QPointF> many;
    for (int i = 0; i < 40; ++i)
        many.append(QPointF((i * 7) % 3, i));
    Calibration::sortByX(many);
    for (int i = 1; i < many.size(); ++i) {
        QVERIFY(many[i - 1].x() <= many[i].x());
        if (many[i - 1].x() == many[i].x())
            QVERIFY(many[i - 1].y() < many[i].y());
    }
}

void TestCalibration::loadedCalibrationCorrectsPlottedPoints_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("skipped");
    QTest::newRow("sorted") << QByteArray("0\t0\n10\t1\n20\t3\n") << 0;
    QTest::newRow("any order") << QByteArray("20\t3\n0\t0\n10\t1\n") << 0;
    QTest::newRow("third field ignored, CR LF")
        << QByteArray("20\t3\t77\r\n0\t0\t1\r\n10\t1\t5\r\n") << 0;
    QTest::newRow("lines that are skipped") << QByteArray("# x y\n\n20\t3\n0 9\n0\t0\n10\t1") << 2;
    QTest::newRow("spreadsheet: header, CR, decimal comma")
        << QByteArray("x\tcorrection\r20\t3\r0\t0\r5,5\t1,25\r10\t1\r") << 2;
}

void TestCalibration::loadedCalibrationCorrectsPlottedPoints()
{
    QFETCH(QByteArray, content);
    QFETCH(int, skipped);
    for (double x : {-5.0, 5.0, 15.0, 25.0})
        addPoint(x, 10, 0.1);
    testhelpers::DebugCapture debug;
    const QString path = writeFile(QStringLiteral("calibration.txt"), content);
    load(path);
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("leCalibrationFile"))->text(), path);
    QCOMPARE(window->statusBar()->currentMessage(),
             skipped == 0 ? QString()
                          : QStringLiteral("Read 3 calibration points from %1; skipped %2 lines "
                                           "without numbers")
                                .arg(path)
                                .arg(skipped));
    QCOMPARE(debug.lines(),
             QStringList({"Calibration loaded. N points: 3", QStringLiteral("Update graph")}));
    QCOMPARE(plottedY(), QList<double>({10, 10, 10, 10}));
    useCalibration->setChecked(true);
    QCOMPARE(plottedY(), QList<double>({10.5, 9.5, 8, 6}));
}

void TestCalibration::noCorrectionUnlessCheckedAndLoaded()
{
    addPoint(5, 10, 0.1);
    useCalibration->setChecked(true);
    QCOMPARE(plottedY(), QList<double>({10}));
    load(writeFile(QStringLiteral("two.txt"), "0\t1\n10\t3\n"));
    QCOMPARE(plottedY(), QList<double>({8}));
    useCalibration->setChecked(false);
    QCOMPARE(plottedY(), QList<double>({10}));
}

void TestCalibration::checkingMovesPointsButNotFitCurve()
{
    addPoint(5, 10, 0.1);
    addPoint(15, 10, 0.1);
    load(writeFile(QStringLiteral("three.txt"), "0\t0\n10\t1\n20\t3\n"));
    plot->graph(1)->setData({1, 10, 100}, {7, 8, 9});
    testhelpers::DebugCapture debug;
    useCalibration->setChecked(true);
    QCOMPARE(plottedY(), QList<double>({9.5, 8}));
    QCOMPARE(debug.count(QStringLiteral("Update graph")), 1);
    useCalibration->setChecked(false);
    QCOMPARE(plottedY(), QList<double>({10, 10}));
    QCOMPARE(plot->graph(1)->dataCount(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(plot->graph(1)->data()->at(i)->value, 7.0 + i);
}

void TestCalibration::loadThatFailsKeepsTheCalibration_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    const QString unchanged = QStringLiteral("; the calibration in use is unchanged");
    QTest::newRow("cancelled dialog") << QString() << QByteArray() << QString();
    QTest::newRow("read error") << "/proc/self/mem" << QByteArray()
                                << "Could not load calibration %1: " +
                                       QString::fromLocal8Bit(std::strerror(EIO)) + unchanged;
    QTest::newRow("no calibration points")
        << "nothing.txt" << QByteArray("no tabs here\n\n") << "%1 holds no calibration points";
    QTest::newRow("empty file") << "empty.txt" << QByteArray("")
                                << "%1 holds no calibration points";
}

// Cancelling the dialog, a file that cannot be read and a file without a single calibration
// point keep the calibration in use and its name; the status bar says why.
void TestCalibration::loadThatFailsKeepsTheCalibration()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    addPoint(5, 10, 0.1);
    useCalibration->setChecked(true);
    const QString first = writeFile(QStringLiteral("first.txt"), "0\t0\n10\t1\n20\t3\n");
    load(first);
    QCOMPARE(plottedY(), QList<double>({9.5}));
    window->statusBar()->clearMessage();
    testhelpers::DebugCapture debug;
    QString path = name;
    if (name.isEmpty())
        testhelpers::cancelFileDialog();
    else if (!name.startsWith(QLatin1Char('/')))
        path = content.isNull() ? dir.filePath(name) : writeFile(name, content);
    if (!name.isEmpty())
        testhelpers::answerFileDialog(path);
    window->findChild<QToolButton *>(QStringLiteral("tbOpenCalibration"))->click();
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("leCalibrationFile"))->text(), first);
    QCOMPARE(plottedY(), QList<double>({9.5}));
    QCOMPARE(window->statusBar()->currentMessage(), message.arg(path));
    QCOMPARE(debug.lines(), QStringList({"Update graph"}));
}

void TestCalibration::correctedSaveWritesCorrectedY()
{
    addPoint(5, 10, 0.1);
    addPoint(25, 10, 0.2);
    const QString plain = dir.filePath(QStringLiteral("plain.txt"));
    saveCorrected(plain);
    QFile file(plain);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("5\t10\t0.1\n25\t10\t0.2\n"));
    file.close();
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Saved 2 points to %1; no calibration in use: the file holds the "
                            "measured values")
                 .arg(plain));

    load(writeFile(QStringLiteral("cal.txt"), "0\t0\n10\t1\n20\t3\n"));
    useCalibration->setChecked(true);
    const QString corrected = dir.filePath(QStringLiteral("corrected.txt"));
    saveCorrected(corrected);
    QFile correctedFile(corrected);
    QVERIFY(correctedFile.open(QIODevice::ReadOnly));
    QCOMPARE(correctedFile.readAll(), QByteArray("5\t9.5\t0.1\n25\t6\t0.2\n"));
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Saved 2 points to %1; 1 of 2 points lie outside the calibration (0 "
                            "to 20): their correction is extrapolated")
                 .arg(corrected));
}

// The end points share x: the last segment has width 0. In the file (10, 4) comes before
// (10, 2), so X = 5 is corrected on the line to (10, 4); beyond 10 the mean 3 applies.
void TestCalibration::sharedXStaysFiniteInPlotAndFile()
{
    addPoint(5, 10, 0.1);
    addPoint(15, 10, 0.1);
    load(writeFile(QStringLiteral("shared.txt"), "10\t4\n0\t0\n10\t2\n"));
    useCalibration->setChecked(true);
    QCOMPARE(plottedY(), QList<double>({8, 7}));
    const QString path = dir.filePath(QStringLiteral("shared-corrected.txt"));
    saveCorrected(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("5\t8\t0.1\n15\t7\t0.1\n"));
}

// Points that come to lie outside the calibration in use are said as they come in (from a
// file, one by one as a run or Add Point brings them, by Undo and Redo), whenever their count
// changes. Switching the correction after a fit says that the calibration in use changed, in
// the status bar and above the fit's report.
void TestCalibration::extrapolationIsSaidAsPointsComeIn()
{
    const auto outside = [](int count, int of) {
        return QStringLiteral("%1 of %2 points lie outside the calibration (0 to 20): their "
                              "correction is extrapolated")
            .arg(count)
            .arg(of);
    };
    const auto status = [this] { return window->statusBar()->currentMessage(); };
    addPoint(5, 10, 0.1);
    load(writeFile(QStringLiteral("cal.txt"), "0\t0\n10\t1\n20\t3\n"));
    useCalibration->setChecked(true);
    const QString path = writeFile(QStringLiteral("far.txt"), "25\t1\t0.1\n30\t2\t0.1\n");
    testhelpers::answerFileDialog(path);
    window->findChild<QAction *>(QStringLiteral("actionOpen"))->trigger();
    QTRY_COMPARE(status(), QStringLiteral("Read 2 points from %1; ").arg(path) + outside(2, 3));
    window->statusBar()->clearMessage();
    addPoint(7, 10, 0.1);
    QTest::qWait(0);
    QCOMPARE(status(), QString());
    addPoint(-5, 10, 0.1);
    QTRY_COMPARE(status(), outside(3, 5));
    window->findChild<QAction *>(QStringLiteral("actionUndo"))->trigger();
    QTRY_COMPARE(status(), QStringLiteral("Undone: Add Point; ") + outside(2, 4));
    window->findChild<QAction *>(QStringLiteral("actionRedo"))->trigger();
    QTRY_COMPARE(status(), QStringLiteral("Redone: Add Point; ") + outside(3, 5));

    window->findChild<QPushButton *>(QStringLiteral("pbCalculate"))->click();
    QVERIFY(testhelpers::waitForWorkBesideWindow(window));
    auto *notes = window->findChild<QLabel *>(QStringLiteral("lbFitNotes"));
    QVERIFY(notes);
    QVERIFY(!notes->text().contains(QLatin1String("changed since this fit")));
    useCalibration->setChecked(false);
    QCOMPARE(status(), QStringLiteral("The calibration in use has changed since this fit"));
    QVERIFY(notes->text().startsWith(
        QLatin1String("The calibration in use has changed since this fit.\n")));
    QVERIFY(!notes->text().contains(QLatin1String("The table has changed")));
    useCalibration->setChecked(true);
    QCOMPARE(status(),
             QStringLiteral("The calibration in use has changed since this fit; ") + outside(3, 5));
    addPoint(8, 10, 0.1);
    QVERIFY(notes->text().startsWith(
        QLatin1String("The table has changed since this fit.\nThe calibration in use has "
                      "changed since this fit.\n")));
}

VANTOREL_TEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
