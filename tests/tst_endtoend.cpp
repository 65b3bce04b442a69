// The whole road of a measured point on the real window, as a user walks it: panels, the
// simulated analyser, the Add Point dialog, an example file, the example calibration, the four
// fits, and the files saved at the end, read back and checked against what the window shows.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>
#include <qcustomplot.h>

#include <algorithm>

#include "app/mainwindow.h"
#include "instrument/simulatedanalyser.h"
#include "instrumenttesthelpers.h"
#include "testhelpers.h"

namespace {

using Row = QVector<double>;

// Reads a TAB-separated file of numbers, one row per line.
QVector<Row> readRows(const QString &path)
{
    QVector<Row> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    QTextStream in(&file);
    while (!in.atEnd()) {
        Row row;
        for (const QString &field : in.readLine().split(QLatin1Char('\t')))
            row << field.toDouble();
        rows << row;
    }
    return rows;
}

// The correction a calibration table gives at x: straight lines between neighbouring points,
// the first and last segments extended outwards.
double interpolate(QVector<Row> calibration, double x)
{
    std::sort(calibration.begin(), calibration.end(),
              [](const Row &a, const Row &b) { return a[0] < b[0]; });
    int i = 1;
    while (i < calibration.size() - 1 && x > calibration[i][0])
        ++i;
    const Row &a = calibration[i - 1], &b = calibration[i];
    return b[1] - (b[0] - x) * (b[1] - a[1]) / (b[0] - a[0]);
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void wholeRoadOfMeasuredPoints();

private:
    template <typename T> T *child(const char *name)
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QString status() const { return window->statusBar()->currentMessage(); }
    // The table as every consumer sees it.
    QVector<Row> tableRows()
    {
        auto *model = testhelpers::tableModel(window);
        QVector<Row> rows;
        for (int r = 0; r < model->rowCount(); ++r) {
            Row row;
            for (int c = 0; c < 3; ++c)
                row << testhelpers::cell(window, r, c);
            rows << row;
        }
        return rows;
    }
    static QString g6(double value) { return QString::number(value, 'g', 6); }

    MainWindow *window = nullptr;
};

void TestEndToEnd::wholeRoadOfMeasuredPoints()
{
    SimulatedAnalyser analyser;
    GpibDriver::setCurrent(&analyser);
    MainWindow mainWindow;
    mainWindow.setReadingInterval(50);
    window = &mainWindow;
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    QTemporaryDir dir;

    // The four panels, opened from the Panels menu.
    for (const char *name :
         {"actionControls", "actionData", "actionCalculation", "actionCalibration"})
        child<QAction>(name)->trigger();
    for (const char *name : {"dwControls", "dwData", "dwCalculation", "dwCalibration"})
        QVERIFY2(child<QDockWidget>(name)->isVisible(), name);

    // Search Peak puts the marker on the tone, at its first frequency.
    QVERIFY(instrumenttest::pressAndWait(child<QPushButton>("pbSearchPeak")));
    const QRegularExpressionMatch marker =
        QRegularExpression(QStringLiteral("^Marker Pos: X = 10000; Y = (\\S+)$")).match(status());
    QVERIFY2(marker.hasMatch(), qPrintable(status()));
    QVERIFY(qAbs(marker.captured(1).toDouble() - SimulatedAnalyser::toneLevel(1e4)) < 0.5);

    // Four points of three readings each, the tone moved on before each.
    child<QSpinBox>("sbPointsCount")->setValue(3);
    auto *start = child<QPushButton>("pbStartMeasure");
    for (int point = 1; point <= 4; ++point) {
        if (point > 1)
            QVERIFY(instrumenttest::pressAndWait(child<QPushButton>("pbSearchPeak")));
        start->click();
        QCOMPARE(start->text(), QStringLiteral("Stop"));
        QTRY_COMPARE_WITH_TIMEOUT(tableRows().size(), point, 5000);
        QCOMPARE(start->text(), QStringLiteral("Start"));
        const Row last = tableRows().constLast();
        QCOMPARE(status(), QStringLiteral("Point added: X = %1; Y = %2; dY = %3")
                               .arg(g6(last[0]), g6(last[1]), g6(last[2])));
        QCOMPARE(last[0], SimulatedAnalyser::toneFrequencies().at(point - 1));
        QVERIFY(qAbs(last[1] - SimulatedAnalyser::toneLevel(last[0])) < 0.5);
        QVERIFY(last[2] >= 0 && last[2] < 0.5);
    }

    // A point typed into the Add Point dialog.
    testhelpers::answerModal([](QWidget *modal) {
        if (modal->objectName() != QLatin1String("AddPointDialog"))
            return false;
        modal->findChild<QLineEdit *>(QStringLiteral("leX"))->setText(QStringLiteral("2e7"));
        modal->findChild<QLineEdit *>(QStringLiteral("leY"))->setText(QStringLiteral("-42.5"));
        modal->findChild<QLineEdit *>(QStringLiteral("ledY"))->setText(QStringLiteral("0.25"));
        modal->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))
            ->button(QDialogButtonBox::Ok)
            ->click();
        return true;
    });
    child<QAction>("actionAddPoint")->trigger();
    QCOMPARE(tableRows().size(), 5);
    QCOMPARE(tableRows().constLast(), Row({2e7, -42.5, 0.25}));

    // An example file, appended after the measured points.
    const QString examples = QStringLiteral(VANTOREL_EXAMPLES);
    const QVector<Row> example = readRows(examples + QStringLiteral("/ifband.txt"));
    QVERIFY(example.size() > 10);
    testhelpers::answerFileDialog(examples + QStringLiteral("/ifband.txt"));
    child<QAction>("actionOpen")->trigger();
    const QVector<Row> table = tableRows();
    QCOMPARE(table.size(), 5 + example.size());
    for (int i = 0; i < example.size(); ++i) {
        for (int c = 0; c < 3; ++c)
            QCOMPARE(table[5 + i][c], example[i][c]);
    }

    // The example calibration, switched on: the plotted points move by the correction.
    testhelpers::answerFileDialog(examples + QStringLiteral("/calibration.txt"));
    child<QToolButton>("tbOpenCalibration")->click();
    QCOMPARE(child<QLineEdit>("leCalibrationFile")->text(), examples + "/calibration.txt");
    child<QCheckBox>("cbUseCalibration")->setChecked(true);
    const QVector<Row> calibration = readRows(examples + QStringLiteral("/calibration.txt"));
    QCPGraph *points = child<QCustomPlot>("wPlot")->graph(0);
    QCOMPARE(points->dataCount(), table.size());
    QVector<double> corrected;
    for (const Row &row : table)
        corrected << row[1] - interpolate(calibration, row[0]);
    // The graph keeps its points ordered by X.
    QVector<QPair<double, double>> expected;
    for (int i = 0; i < table.size(); ++i)
        expected << qMakePair(table[i][0], corrected[i]);
    std::sort(expected.begin(), expected.end());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(points->data()->at(i)->key, expected[i].first);
        QVERIFY(qAbs(points->data()->at(i)->value - expected[i].second) <=
                1e-9 * qMax(1.0, qAbs(expected[i].second)));
    }

    // The four methods, each leaving its parameters in the status bar and a 50-sample curve. A
    // model that does not suit these points may run into the step limit, or find no bound,
    // which the text says after the numbers, as it says which corrections are extrapolated.
    QCPGraph *curve = child<QCustomPlot>("wPlot")->graph(1);
    const QRegularExpression parameters(
        QStringLiteral("^Parameters A = (\\S+); Fc = (\\S+); Fb = (\\S+); Ft = ([^;\\s]+)"
                       "(; \\d+ of \\d+ points lie outside the calibration [^)]*\\)[^(]*)?"
                       "( \\((not converged: step limit reached|Fb not found|Ft not found)\\))*$"));
    QStringList results;
    for (int method = 0; method < 4; ++method) {
        child<QComboBox>("cbCalculationType")->setCurrentIndex(method);
        child<QPushButton>("pbCalculate")->click();
        QVERIFY(testhelpers::waitForWorkBesideWindow(window));
        const QRegularExpressionMatch match = parameters.match(status());
        QVERIFY2(match.hasMatch(), qPrintable(status()));
        for (int p = 1; p <= 4; ++p) {
            bool ok = false;
            QVERIFY(qIsFinite(match.captured(p).toDouble(&ok)) && ok);
        }
        QCOMPARE(curve->dataCount(), 50);
        results << status();
    }
    QCOMPARE(results.size(), 4);

    // Save Data writes the table as it is, every digit; the correction button writes the
    // corrected Y.
    const QString plain = dir.filePath(QStringLiteral("plain.txt"));
    const QString withCorrection = dir.filePath(QStringLiteral("corrected.txt"));
    testhelpers::answerFileDialog(plain);
    child<QAction>("actionSave")->trigger();
    QCOMPARE(status(), QStringLiteral("Saved 26 points to %1").arg(plain));
    // The corrected save says which corrections it extrapolated: the 1 GHz points lie outside.
    testhelpers::answerFileDialog(withCorrection);
    child<QPushButton>("pbSaveDataWithCorrection")->click();
    QVERIFY2(status().startsWith(QStringLiteral("Saved 26 points to %1; 5 of 26 points lie outside "
                                                "the calibration (0.05 to 25)")
                                     .arg(withCorrection)),
             qPrintable(status()));

    const QVector<Row> savedPlain = readRows(plain);
    const QVector<Row> savedCorrected = readRows(withCorrection);
    QCOMPARE(savedPlain.size(), table.size());
    QCOMPARE(savedCorrected.size(), table.size());
    for (int i = 0; i < table.size(); ++i) {
        QCOMPARE(savedPlain[i], table[i]);
        QCOMPARE(savedCorrected[i][0], table[i][0]);
        QCOMPARE(g6(savedCorrected[i][1]), g6(corrected[i]));
        QCOMPARE(savedCorrected[i][2], table[i][2]);
    }

    // The plot exported as PNG and as PDF.
    const QString png = dir.filePath(QStringLiteral("graph.png"));
    const QString pdf = dir.filePath(QStringLiteral("graph.pdf"));
    testhelpers::answerFileDialog(png);
    child<QAction>("actionSaveGraph")->trigger();
    testhelpers::answerFileDialog(pdf);
    child<QAction>("actionSaveGraph")->trigger();
    QImageReader reader(png);
    QCOMPARE(reader.format(), QByteArray("png"));
    QCOMPARE(reader.size(), child<QCustomPlot>("wPlot")->size());
    QFile pdfFile(pdf);
    QVERIFY(pdfFile.open(QIODevice::ReadOnly));
    QCOMPARE(pdfFile.read(5), QByteArray("%PDF-"));

    GpibDriver::setCurrent(nullptr);
}

VANTOREL_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
