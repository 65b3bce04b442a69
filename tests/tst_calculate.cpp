// Calculate on the real window: the method chosen, X scaled to 10 and back, the status text,
// the 50 curve samples over the current X range, and tables a fit cannot use.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QGridLayout>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollArea>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <qcustomplot.h>

#include <time.h>
#include <unistd.h>

#include <cmath>
#include <limits>
#include <memory>

#include "app/mainwindow.h"
#include "regression/cfitstatistics.h"
#include "regression/cifbandlogregresscalculation.h"
#include "regression/cifbandlogregressweightcalculation.h"
#include "regression/crecombinationtimelinregresscalculation.h"
#include "regression/crecombinationtimelinregressweightcalculation.h"
#include "regression/fitjob.h"
#include "regression/regressionmethods.h"
#include "testhelpers.h"

using Vector = QVector<double>;

namespace {

struct Point
{
    double x;
    double y;
    double dy;
};

// A roll-off with some scatter, X up to 2000, for the IF band methods.
const QVector<Point> rollOff = {{20, 0.3, 0.1},    {50, 0.2, 0.4},     {100, -0.4, 0.2},
                                {200, -1.1, 0.3},  {400, -3.2, 0.1},   {700, -6.3, 0.5},
                                {1000, -8.6, 0.2}, {1500, -11.9, 0.3}, {2000, -14.2, 0.1}};

// A response rising to a level, for the recombination methods.
const QVector<Point> rise = {{20, 0.22, 0.02},  {50, 0.47, 0.05},   {100, 0.97, 0.03},
                             {200, 1.62, 0.1},  {400, 2.45, 0.04},  {700, 2.71, 0.08},
                             {1000, 2.9, 0.03}, {1500, 2.91, 0.05}, {2000, 3.01, 0.02}};

std::unique_ptr<cAbstractRegressCalculation> calculationFor(int method)
{
    return regressionmethods::create(method);
}

// What the window should show for these points: the table keeps every digit, X is scaled so
// that its largest value is 10, and Fc, Fb, Ft are scaled back. *stepLimit tells whether
// the descent ran into its step limit.
Vector expectedParameters(int method, const QVector<Point> &points, bool *stepLimit = nullptr)
{
    Vector x, y, dy;
    double xMax = 0;
    for (const Point &p : points) {
        x << p.x;
        y << p.y;
        dy << p.dy;
        xMax = std::max(xMax, x.last());
    }
    const double k = 10 / xMax;
    for (double &v : x)
        v *= k;
    auto c = calculationFor(method);
    c->setXValues(x);
    c->setYValues(y);
    c->setDyValues(dy);
    c->calculate();
    if (stepLimit)
        *stepLimit = c->stepLimitReached();
    Vector P = c->parameters();
    P[1] /= k;
    P[2] /= k;
    P[3] /= k;
    return P;
}

// Pixels of two pictures of one size whose colours differ by more than a quarter in a channel.
int differingPixels(const QImage &a, const QImage &b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            count += std::abs(p.red() - q.red()) > 64 || std::abs(p.green() - q.green()) > 64 ||
                     std::abs(p.blue() - q.blue()) > 64;
        }
    }
    return count;
}

QString statusFor(const Vector &P, bool stepLimit = false)
{
    return QStringLiteral("Parameters A = %1; Fc = %2; Fb = %3; Ft = %4%5")
        .arg(QString::number(P[0], 'g', 6), QString::number(P[1], 'g', 6),
             QString::number(P[2], 'g', 6), QString::number(P[3], 'g', 6),
             stepLimit ? QStringLiteral(" (not converged: step limit reached)") : QString());
}

} // namespace

class TestCalculate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyTableShowsZeros();
    void eachMethodShowsItsOwnFit_data();
    void eachMethodShowsItsOwnFit();
    void fcIsShownInTableUnits();
    void parametersShowSixDigits();
    void curveSpansTheAxisRange_data();
    void curveSpansTheAxisRange();
    void repeatedFitsKeepTheRange();
    void secondPressReplacesTheFit();
    void screenShowsTheLastFit();
    void longFitCanBeCancelled_data();
    void longFitCanBeCancelled();
    void fitReportRecordsEveryFit();
    void noPositiveXLeavesNoCurve();
    void rowsWithoutFiniteValuesAreLeftOut();
    void weightedFitWithZeroSpreadsEnds();
    void changedTableOutdatesTheFit();
    void reportFitsItsPanel_data();
    void reportFitsItsPanel();
    void extrapolatedCorrectionsAreCounted();
    void refinedFitReachesTheMinimum();
    void reportSaysWhereTheFitCameFrom_data();
    void reportSaysWhereTheFitCameFrom();
    void narrowedFitsNothing_data();
    void narrowedFitsNothing();
    void controlsReachTheFit_data();
    void controlsReachTheFit();
    void leftOutPointIsHollowAndUndoes();

private:
    template <class T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    // Types text into a field as the user would, through its validator.
    void type(const char *field, const QString &text)
    {
        auto *edit = child<QLineEdit>(field);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    // Selects the rows and leaves them out of the fit (or takes them back).
    void leaveOut(const QVector<int> &rows)
    {
        auto *view = child<QTableView>("twData");
        view->selectionModel()->clear();
        for (int row : rows)
            view->selectionModel()->select(view->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        child<QAction>("actionLeaveOutOfFit")->trigger();
    }
    // The job the window should have run on the table as it is.
    std::unique_ptr<FitJob> expectedJob(int method, const FitJob::Options &options) const
    {
        Vector x, y, dy;
        for (const QList<double> &row : testhelpers::tableRows(window))
            x << row[0], y << row[1], dy << row[2];
        auto job = std::make_unique<FitJob>(method, x, y, dy, options);
        job->run(*calculationFor(method));
        return job;
    }
    QStringList recordRow(int row) const
    {
        auto *record = child<QTableWidget>("twFitRecord");
        QStringList fields;
        for (int column = 0; column < record->columnCount(); ++column)
            fields << record->item(row, column)->text();
        return fields;
    }
    void addPoints(const QVector<Point> &points)
    {
        for (const Point &p : points) {
            QVERIFY(QMetaObject::invokeMethod(window, "addPoint", Q_ARG(double, p.x),
                                              Q_ARG(double, p.y), Q_ARG(double, p.dy)));
        }
        QVERIFY(QMetaObject::invokeMethod(window, "updateGraph"));
    }
    void calculate(int method)
    {
        window->findChild<QComboBox *>(QStringLiteral("cbCalculationType"))
            ->setCurrentIndex(method);
        window->findChild<QPushButton *>(QStringLiteral("pbCalculate"))->click();
        QVERIFY(testhelpers::waitForWorkBesideWindow(window));
    }
    QString status() const { return window->statusBar()->currentMessage(); }
    // The texts of the report's heading and summary, one per label.
    QString summaryText() const
    {
        QStringList texts;
        for (const QLabel *label :
             window->findChild<QWidget *>(QStringLiteral("wFitReportContents"))
                 ->findChildren<QLabel *>())
            texts << label->text();
        return texts.join(QLatin1Char('\n'));
    }
    QCPGraph *curve() const { return plot->graph(1); }
    // The report as the panel shows it: heading, points, each name and value of the summary
    // grid in reading order (a value that spans the second pair's columns is no name), notes.
    QStringList reportOnScreen() const
    {
        QStringList lines = {child<QLabel>("lbFitSummary")->text(),
                             child<QLabel>("lbFitPoints")->text()};
        const auto *grid = child<QGridLayout>("glFitSummary");
        for (int row = 0; row < grid->rowCount(); ++row) {
            for (int column : {0, 2}) {
                QLayoutItem *name = grid->itemAtPosition(row, column);
                if (!name || (column == 2 && name == grid->itemAtPosition(row, 1)))
                    continue;
                lines << qobject_cast<QLabel *>(name->widget())->text() + ": " +
                             qobject_cast<QLabel *>(grid->itemAtPosition(row, column + 1)->widget())
                                 ->text();
            }
        }
        lines << child<QLabel>("lbFitNotes")->text().split(QLatin1Char('\n'));
        return lines;
    }

    MainWindow *window = nullptr;
    QCustomPlot *plot = nullptr;
};

void TestCalculate::init()
{
    window = new MainWindow;
    plot = window->findChild<QCustomPlot *>(QStringLiteral("wPlot"));
    QVERIFY(plot);
}

void TestCalculate::cleanup()
{
    delete window;
    window = nullptr;
}

void TestCalculate::emptyTableShowsZeros()
{
    for (int method = 0; method < 4; ++method) {
        calculate(method);
        QCOMPARE(status(), QStringLiteral("Parameters A = 0; Fc = 0; Fb = 0; Ft = 0 "
                                          "(undefined: no points to fit)"));
        QCOMPARE(curve()->dataCount(), 0);
    }
}

void TestCalculate::eachMethodShowsItsOwnFit_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("1-Time; 2-Log Scale") << 0;
    QTest::newRow("1-Time; 2-Log Scale; +Weight") << 1;
    QTest::newRow("RecTime; 1-LogScale;") << 2;
    QTest::newRow("RecTime; 1-LogScale; +Weight") << 3;
}

// Each index of the combo box runs its own class: the status text is that class's fit and no
// other method's.
void TestCalculate::eachMethodShowsItsOwnFit()
{
    QFETCH(int, method);
    const QVector<Point> &points = method < 2 ? rollOff : rise;
    addPoints(points);
    calculate(method);
    QCOMPARE(status(), statusFor(expectedParameters(method, points)));
    for (int other = 0; other < 4; ++other) {
        if (other != method)
            QVERIFY(status() != statusFor(expectedParameters(other, points)));
    }
}

// Largest X 2000: the fit runs on X up to 10 (k = 0.005) and Fc comes back 200 times larger.
void TestCalculate::fcIsShownInTableUnits()
{
    QVector<Point> points;
    for (int i = 1; i <= 10; ++i)
        points << Point{200.0 * i, static_cast<float>(ifBandLevel(i, -20, 5)), 1};
    addPoints(points);
    calculate(0);
    const Vector P = expectedParameters(0, points);
    QCOMPARE(status(), statusFor(P));
    QVERIFY2(std::fabs(P[1] - 1000) < 1e-3, qPrintable(status()));
    QVERIFY(status().contains(QStringLiteral("Fc = 1000;")));
}

// An A of -3.0102999566 reads -3.0103, an Fc of 1234567.8 reads 1.23457e+06.
void TestCalculate::parametersShowSixDigits()
{
    QVector<Point> points;
    for (int i = 1; i <= 10; ++i)
        points << Point{246913.56 * i, static_cast<float>(ifBandLevel(i, -3.0102999566, 5)), 1};
    addPoints(points);
    calculate(0);
    QVERIFY2(status().startsWith(QStringLiteral("Parameters A = -3.0103; Fc = 1.23457e+06; ")),
             qPrintable(status()));
}

void TestCalculate::curveSpansTheAxisRange_data()
{
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::newRow("no zoom") << 0.0 << 0.0;
    QTest::newRow("zoomed to 200 to 500") << 200.0 << 500.0;
    QTest::newRow("panned to 1 to 99") << 1.0 << 99.0;
}

// 50 samples over the X range that Update Graph gives (the points, 20 to 2000), whatever the
// zoom, evenly spaced on the logarithmic axis, on the model with the fitted A and Fc in table
// units; Update Graph then shows the whole curve.
void TestCalculate::curveSpansTheAxisRange()
{
    QFETCH(double, lower);
    QFETCH(double, upper);
    addPoints(rollOff);
    if (upper > 0)
        plot->xAxis->setRange(lower, upper);
    calculate(0);
    const Vector P = expectedParameters(0, rollOff);
    QCOMPARE(curve()->dataCount(), 50);
    QCOMPARE(curve()->data()->at(0)->key, 20.0);
    QCOMPARE(curve()->data()->at(49)->key, 2000.0);
    const double ratio = std::pow(100.0, 1.0 / 49);
    for (int i = 0; i < 50; ++i) {
        const auto sample = curve()->data()->at(i);
        QVERIFY(std::fabs(sample->key / (20 * std::pow(ratio, i)) - 1) < 1e-13);
        QCOMPARE(sample->value, ifBandLevel(sample->key, P[0], P[1]));
    }
    QVERIFY(QMetaObject::invokeMethod(window, "updateGraph"));
    QCOMPARE(plot->xAxis->range(), QCPRange(20, 2000));
}

// A fit and a refresh, again and again, leave the axes where the points put them.
void TestCalculate::repeatedFitsKeepTheRange()
{
    addPoints(rollOff);
    for (int round = 0; round < 5; ++round) {
        calculate(0);
        QVERIFY(QMetaObject::invokeMethod(window, "updateGraph"));
        QCOMPARE(plot->xAxis->range(), QCPRange(20, 2000));
    }
}

void TestCalculate::secondPressReplacesTheFit()
{
    const QVector<Point> &points = rise;
    addPoints(points);
    calculate(0);
    const QString first = status();
    bool stepLimit = false;
    const Vector firstP = expectedParameters(0, points, &stepLimit);
    QVERIFY2(first.startsWith(statusFor(firstP, stepLimit)), qPrintable(first));
    calculate(3);
    const Vector P = expectedParameters(3, points);
    QCOMPARE(status(), statusFor(P));
    QVERIFY(status() != first);
    const auto sample = curve()->data()->at(10);
    QCOMPARE(sample->value, recombinationResponse(sample->key, P[0], P[1]));
}

// Method 2 and then method 0 on the same points (nothing else changes in between): the plot on
// the screen shows the second curve at once, exactly as SaveGraph exports it.
void TestCalculate::screenShowsTheLastFit()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    addPoints(rollOff);
    calculate(2);
    const QImage first = plot->grab().toImage();
    calculate(0);
    const QImage second = plot->grab().toImage();
    const int changed = differingPixels(first, second);
    QVERIFY2(changed > 1000, qPrintable(QString::number(changed)));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("graph.png"));
    testhelpers::answerFileDialog(path);
    window->findChild<QAction *>(QStringLiteral("actionSaveGraph"))->trigger();
    const QImage exported(path);
    QCOMPARE(exported.size(), second.size());
    // The text is smoothed a little differently on the screen and in an image; the curves
    // are the same.
    const int apart = differingPixels(exported, second);
    QVERIFY2(apart * 10 < changed, qPrintable(QStringLiteral("%1 of %2").arg(apart).arg(changed)));
}

void TestCalculate::longFitCanBeCancelled_data()
{
    QTest::addColumn<bool>("closeWindow");
    QTest::addColumn<bool>("pointArrives");
    QTest::newRow("Cancel in the progress dialog") << false << false;
    QTest::newRow("closing the window") << true << false;
    QTest::newRow("a point arrives during the fit") << false << true;
}

// A short fit shows nothing new. A fit that runs to its step limit on thousands of equal Y
// shows the progress dialog; Cancel, or closing the window, ends it and keeps the curve shown
// before. A window closed during the fit closes (asking about the unsaved points) once the
// fit has ended. A point that arrives while the fit runs is not in it: the fit, once ended,
// shows as out of date.
void TestCalculate::longFitCanBeCancelled()
{
    QFETCH(bool, closeWindow);
    QFETCH(bool, pointArrives);
    window->show();
    QStringList dialogs;
    const auto watch = [&](bool act) {
        testhelpers::answerModal(
            [&dialogs, act, closeWindow, pointArrives, this](QWidget *modal) {
                auto *progress = qobject_cast<QProgressDialog *>(modal);
                // The bar shows the steps accepted so far before Cancel is pressed.
                if (progress && act && progress->value() > 0) {
                    dialogs << progress->labelText();
                    if (pointArrives)
                        QMetaObject::invokeMethod(window, "addPoint", Qt::QueuedConnection,
                                                  Q_ARG(double, 5), Q_ARG(double, -3),
                                                  Q_ARG(double, 0.1));
                    else if (closeWindow)
                        window->close();
                    else
                        QMetaObject::invokeMethod(progress->findChild<QPushButton *>(), "click",
                                                  Qt::QueuedConnection);
                    return true;
                }
                if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                    dialogs << box->text();
                    box->button(QMessageBox::Discard)->click();
                    return true;
                }
                return false;
            },
            60000);
    };
    addPoints(rollOff);
    watch(false);
    calculate(0);
    const QString shown = status();
    const QCPRange keys(curve()->data()->at(0)->key, curve()->data()->at(49)->key);
    QCOMPARE(dialogs, QStringList());

    QVERIFY(QMetaObject::invokeMethod(window, "on_actionClear_triggered"));
    QVector<Point> flat;
    // A fit that is to run to its end gets fewer points, so that it ends soon.
    const int flatPoints = pointArrives ? 2000 : 20000;
    for (int i = 1; i <= flatPoints; ++i)
        flat << Point{1.0 * i, -3, 0.1};
    addPoints(flat);
    watch(true);
    calculate(0);
    if (pointArrives) {
        QVERIFY(status().startsWith(QStringLiteral("Parameters A = ")));
        QCOMPARE(testhelpers::tableModel(window)->rowCount(), 2001);
        QCOMPARE(curve()->pen().style(), Qt::DashLine);
        QVERIFY(window->findChild<QLabel *>(QStringLiteral("lbFitNotes"))
                    ->text()
                    .contains(QStringLiteral("The table has changed since this fit.")));
        return;
    }
    QCOMPARE(status(), QStringLiteral("Calculation cancelled"));
    QCOMPARE(curve()->dataCount(), 50);
    QCOMPARE(QCPRange(curve()->data()->at(0)->key, curve()->data()->at(49)->key), keys);
    QVERIFY(shown.startsWith(QStringLiteral("Parameters A = ")));
    QCOMPARE(dialogs.value(0), QStringLiteral("Fitting…"));
    auto *record = window->findChild<QTableWidget *>(QStringLiteral("twFitRecord"));
    QCOMPARE(record->rowCount(), 2);
    QCOMPARE(record->item(1, 10)->text(), QStringLiteral("cancelled"));
    QCOMPARE(record->item(1, 1)->text(), QStringLiteral("20000"));
    if (closeWindow) {
        QVERIFY(QTest::qWaitFor([this] { return !window->isVisible(); }, 5000));
        QCOMPARE(dialogs.value(1),
                 QStringLiteral("The table holds 20000 points that have not been saved."));
    } else {
        QVERIFY(window->isVisible());
    }
}

// Every fit gets a line in the record; Copy puts the record on the clipboard as tab-separated
// text that reads back to the numbers the window shows. Two points leave no degree of freedom:
// the summary shows a dash with the reason, the record nan. Points with equal Y carry no
// corner: the descent ends at its step limit, which the status text and the record say; the
// least-squares minimum fits them exactly (S = 0). The
// residual plot holds Y minus the fitted model at each point.
void TestCalculate::fitReportRecordsEveryFit()
{
    addPoints({{10, -1, 0.1}, {100, -4, 0.1}});
    calculate(0);
    const QString summary = summaryText();
    QVERIFY2(summary.contains(QStringLiteral("± —")), qPrintable(summary));
    const QString notes = window->findChild<QLabel *>(QStringLiteral("lbFitNotes"))->text();
    QVERIFY2(notes.contains(QStringLiteral("needs at least 3 points")), qPrintable(notes));
    QVERIFY(QMetaObject::invokeMethod(window, "on_actionClear_triggered"));
    QVector<Point> flat;
    for (int i = 1; i <= 20; ++i)
        flat << Point{100.0 * i, -3, 0.1};
    addPoints(flat);
    calculate(0);
    bool stepLimit = false;
    // Equal Y: S does not double anywhere above Fc, so there is no Ft.
    QCOMPARE(status(),
             statusFor(expectedParameters(0, flat, &stepLimit), true) + " (Ft not found)");
    QVERIFY(stepLimit);
    QVERIFY(QMetaObject::invokeMethod(window, "on_actionClear_triggered"));
    addPoints(rollOff);
    calculate(0);
    calculate(1);

    auto *record = window->findChild<QTableWidget *>(QStringLiteral("twFitRecord"));
    QCOMPARE(record->rowCount(), 4);
    window->findChild<QPushButton *>(QStringLiteral("pbCopyFitReport"))->click();
    const QString copied = QGuiApplication::clipboard()->text();
    const int header = copied.indexOf(QStringLiteral("\n\nmethod\t"));
    QVERIFY2(header > 0, qPrintable(copied));
    const QStringList lines = copied.mid(header + 2).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines[0], QStringLiteral("method\tpoints\tA\tsigma_A\tFc\tsigma_Fc\tFb\tFt\t"
                                      "reduced_chi2\tsteps\tend\trefined\tdata_file\t"
                                      "calibration_file\ttime\tfit_from\tfit_to\t"
                                      "left_out\tfixed\tcorrelation\tsigma_kind"));
    QCOMPARE(lines[5], QString());
    const QStringList methods = {"0", "0", "0", "1"};
    const QStringList points = {"2", "20", "9", "9"};
    for (int row = 0; row < 4; ++row) {
        const QStringList fields = lines[row + 1].split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 21);
        QCOMPARE(fields[11], QStringLiteral("no"));
        // No range, nothing left out, nothing fixed, σ scaled.
        QCOMPARE(fields.mid(15, 4), QStringList({"", "", "0", ""}));
        QCOMPARE(fields[20], QStringLiteral("scaled"));
        for (int column = 0; column < 21; ++column)
            QCOMPARE(fields[column], record->item(row, column)->text());
        QCOMPARE(fields[0], methods[row]);
        QCOMPARE(fields[1], points[row]);
        QCOMPARE(fields[10], row == 1 ? QStringLiteral("step limit") : QStringLiteral("converged"));
        for (int column : {3, 5, 8})
            QVERIFY2(row == 0 ? fields[column] == QLatin1String("nan")
                              : fields[column].toDouble() > 0 || row == 1,
                     qPrintable(lines[row + 1]));
        if (row < 2)
            continue;
        const Vector P = expectedParameters(row - 2, rollOff);
        for (int p : {0, 1, 2, 3}) {
            const double value = fields[p == 0 ? 2 : p == 1 ? 4 : p + 4].toDouble();
            QVERIFY(std::fabs(value - P[p]) <= 1e-9 * std::fabs(P[p]));
        }
    }

    const Vector P = expectedParameters(1, rollOff);
    QCPGraph *residuals =
        window->findChild<QCustomPlot *>(QStringLiteral("wResidualPlot"))->graph(0);
    QCOMPARE(residuals->dataCount(), rollOff.size());
    for (int i = 0; i < rollOff.size(); ++i) {
        const auto point = residuals->data()->at(i);
        QVERIFY(std::fabs(point->key - rollOff[i].x) < 1e-9 * rollOff[i].x);
        const double expected = rollOff[i].y - ifBandLevel(rollOff[i].x, P[0], P[1]);
        QVERIFY(std::fabs(point->value - expected) < 1e-9);
    }
}

// No positive X: there is no scale factor, so no curve; a curve drawn before is removed.
void TestCalculate::noPositiveXLeavesNoCurve()
{
    addPoints(rollOff);
    calculate(0);
    QCOMPARE(curve()->dataCount(), 50);
    QVERIFY(QMetaObject::invokeMethod(window, "on_actionClear_triggered"));
    addPoints({{0, -1, 0.1}, {-5, -2, 0.1}, {-10, -3, 0.1}});
    for (int method = 0; method < 4; ++method) {
        calculate(method);
        QVERIFY2(status().startsWith(QStringLiteral("Parameters A = ")), qPrintable(status()));
        QCOMPARE(curve()->dataCount(), 0);
    }
}

// A row whose X or Y is not a finite number is left out of the fit and stays in the table.
void TestCalculate::rowsWithoutFiniteValuesAreLeftOut()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QVector<Point> points = rollOff;
    points.insert(3, Point{300, nan, 0.2});
    points.insert(6, Point{inf, -5, 0.2});
    points.append(Point{nan, -20, 0.2});
    addPoints(points);
    for (int method : {0, 1}) {
        calculate(method);
        QCOMPARE(status(), statusFor(expectedParameters(method, rollOff)) +
                               " (3 of 12 points left out: X or Y not a number)");
    }
    auto *model = testhelpers::tableModel(window);
    QCOMPARE(model->rowCount(), points.size());
}

// Spreads of 0 (equal readings) in a weighted fit: the fit ends with finite parameters; with
// every spread 0 it is the unweighted fit.
void TestCalculate::weightedFitWithZeroSpreadsEnds()
{
    QVector<Point> some = rollOff;
    some[2].dy = 0;
    some[5].dy = 0;
    addPoints(some);
    calculate(1);
    const Vector P = expectedParameters(1, some);
    for (double v : P)
        QVERIFY(std::isfinite(v));
    QCOMPARE(status(), statusFor(P) + " (2 of 9 points left out: dY is 0 or not a number)");

    QVERIFY(QMetaObject::invokeMethod(window, "on_actionClear_triggered"));
    QVector<Point> none = rollOff;
    for (Point &p : none)
        p.dy = 0;
    addPoints(none);
    calculate(1);
    const QString weighted = status();
    calculate(0);
    QCOMPARE(weighted, status() + " (no usable dY: fitted unweighted)");
}

// An edit, then more points (as Open Data appends them) after a fit: the curve turns dashed and
// leaves the axes to the points, the report says the fit is out of date; Calculate fits and
// draws the edited values, and the report counts the points a log axis cannot show.
void TestCalculate::changedTableOutdatesTheFit()
{
    window->resize(796, 563);
    window->show();
    window->findChild<QAction *>(QStringLiteral("actionFitReport"))->setChecked(true);
    QVector<Point> hz = rollOff;
    for (Point &p : hz)
        p.x *= 1e6;
    addPoints(hz);
    calculate(0);
    auto *notes = window->findChild<QLabel *>(QStringLiteral("lbFitNotes"));
    QVERIFY(summaryText().contains(QStringLiteral("Residual variance")));

    QAbstractItemModel *model = testhelpers::tableModel(window);
    QVERIFY(model->setData(model->index(0, 1), -5.0));
    QCOMPARE(curve()->pen().style(), Qt::DashLine);
    QVERIFY(notes->text().startsWith(QStringLiteral("The table has changed since this fit")));
    calculate(0);
    QCOMPARE(curve()->pen().style(), Qt::SolidLine);
    QVERIFY(!notes->text().contains(QStringLiteral("changed")));
    QCOMPARE(plot->graph(0)->data()->at(0)->value, -5.0);

    addPoints({{0, 1, 0}, {1e3, 1, 0.1}, {2e3, 2, 0.1}});
    QCOMPARE(plot->xAxis->range(), QCPRange(1e3, 2e9));
    QVERIFY(QMetaObject::invokeMethod(window, "on_actionClear_triggered"));
    addPoints({{0, 1, 0}, {1e3, 1, 0.1}, {2e3, 2, 0.1}, {5e3, 0, 0.1}});
    QCOMPARE(plot->xAxis->range(), QCPRange(1e3, 5e3));
    calculate(0);
    QVERIFY2(notes->text().contains(QStringLiteral("1 point with X ≤ 0 is fitted but not drawn.")),
             qPrintable(notes->text()));
    QCOMPARE(window->findChild<QTableWidget *>(QStringLiteral("twFitRecord"))->item(2, 1)->text(),
             QStringLiteral("4"));
    addPoints({{-1, 0.5, 0.1}});
    calculate(0);
    QVERIFY2(
        notes->text().contains(QStringLiteral("2 points with X ≤ 0 are fitted but not drawn.")),
        qPrintable(notes->text()));
}

void TestCalculate::reportFitsItsPanel_data()
{
    QTest::addColumn<double>("unit");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("panelWidth");
    QTest::newRow("Hz up to 1e9, method 0") << 1.0 << 0 << 0;
    QTest::newRow("GHz, method 0") << 1e-9 << 0 << 0;
    QTest::newRow("Hz up to 1e9, method 1") << 1.0 << 1 << 0;
    QTest::newRow("Hz, panel widened") << 1.0 << 0 << 600;
}

// The window as it starts, with the Calculation and Fit Report panels shown where they dock. A
// fit of 200 points with long numbers and several notes changes neither the window's size nor
// the place of the Calculate button and the method box, and every label of the report shows
// its whole text: a line is no wider than the part of the label in view (brought into view
// where the panel scrolls), a wrapped text has room for its longest word and all its lines.
void TestCalculate::reportFitsItsPanel()
{
    QFETCH(double, unit);
    QFETCH(int, method);
    QFETCH(int, panelWidth);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->findChild<QAction *>(QStringLiteral("actionCalculation"))->setChecked(true);
    window->findChild<QAction *>(QStringLiteral("actionFitReport"))->setChecked(true);
    auto *dock = window->findChild<QDockWidget *>(QStringLiteral("dwFitReport"));
    QTest::qWait(50);
    if (panelWidth > 0) {
        window->resize(window->width() + panelWidth, window->height());
        QTest::qWait(50);
        window->resizeDocks({dock}, {panelWidth}, Qt::Horizontal);
        QTest::qWait(50);
    }
    auto *button = window->findChild<QPushButton *>(QStringLiteral("pbCalculate"));
    auto *methods = window->findChild<QComboBox *>(QStringLiteral("cbCalculationType"));
    const QSize size = window->size();
    const QPoint buttonAt = button->mapTo(window, QPoint());
    const QPoint methodsAt = methods->mapTo(window, QPoint());

    QVector<Point> points;
    for (int i = 0; i < 200; ++i) {
        const double x = 1e9 * std::pow(1e-3, i / 199.0) * unit;
        points << Point{x, ifBandLevel(x, -3.3, 3.41975e8 * unit) + 0.05 * std::cos(i), 0.1};
    }
    points << Point{0, -3, 0.1} << Point{-1 * unit, -3, 0} << Point{std::nan(""), -3, 0.1};
    addPoints(points);
    calculate(method);
    QTest::qWait(50);
    QCOMPARE(window->size(), size);
    QCOMPARE(button->mapTo(window, QPoint()), buttonAt);
    QCOMPARE(methods->mapTo(window, QPoint()), methodsAt);

    auto *report = window->findChild<QWidget *>(QStringLiteral("wFitReport"));
    auto *scroll = report->findChild<QScrollArea *>();
    int checked = 0;
    // The first label cut, if any; the report may take a few passes of its layout to settle
    // (slowly in a sanitizer build).
    const auto firstCut = [&]() -> QString {
        checked = 0;
        for (QLabel *label : report->findChildren<QLabel *>()) {
            if (!label->isVisible() || label->text().isEmpty())
                continue;
            if (scroll)
                scroll->ensureWidgetVisible(label, 0, 0);
            const QRect visible = label->visibleRegion().boundingRect();
            const QString text = label->text();
            for (const QString &line :
                 label->wordWrap() ? text.split(QRegularExpression("\\s+")) : QStringList(text))
                if (label->fontMetrics().horizontalAdvance(line) > visible.width())
                    return text;
            if (label->heightForWidth(label->width()) > visible.height())
                return text;
            ++checked;
        }
        return QString();
    };
    QTRY_COMPARE(firstCut(), QString());
    QVERIFY(checked >= 10);
    // S and the residual variance (or χ²) share a line where the panel is wide enough.
    const auto labelOf = [report](const QStringList &texts) {
        for (QLabel *label : report->findChildren<QLabel *>())
            if (texts.contains(label->text()))
                return label;
        return static_cast<QLabel *>(nullptr);
    };
    QLabel *s = labelOf({QStringLiteral("S")});
    QLabel *variance = labelOf({QStringLiteral("Residual variance"), QStringLiteral("Reduced χ²")});
    QVERIFY(s && variance);
    QCOMPARE(s->y() == variance->y(), panelWidth > 0);
}

// A calibration in GHz over points in Hz: every point lies far beyond it, and the window says
// so when the correction is switched on, at Calculate and in the report.
void TestCalculate::extrapolatedCorrectionsAreCounted()
{
    QTemporaryDir dir;
    const QString file = testhelpers::writeFile(dir.filePath("ghz.txt"), "0.05\t1\n25\t2\n");
    addPoints({{1e4, -20, 0.1}, {1e5, -21, 0.1}, {1e6, -25, 0.1}, {1e7, -40, 0.1}, {20, -20, 0.1}});
    testhelpers::answerFileDialog(file);
    window->findChild<QToolButton *>(QStringLiteral("tbOpenCalibration"))->click();
    window->findChild<QCheckBox *>(QStringLiteral("cbUseCalibration"))->setChecked(true);
    const QString text = QStringLiteral("4 of 5 points lie outside the calibration (0.05 to 25): "
                                        "their correction is extrapolated");
    QCOMPARE(status(), text);
    calculate(0);
    QVERIFY2(status().contains("; " + text), qPrintable(status()));
    QVERIFY(window->findChild<QLabel *>(QStringLiteral("lbFitNotes"))->text().contains(text));
}

// Refined, the weighted fit of the rise ends at the least-squares minimum: the status and the
// record say so, and σ of Fc is the one at the minimum in the unit of the table's X.
void TestCalculate::refinedFitReachesTheMinimum()
{
    addPoints(rise);
    window->findChild<QCheckBox *>(QStringLiteral("cbRefineFit"))->setChecked(true);
    calculate(3);
    QVERIFY2(status().endsWith(QStringLiteral(" (refined)")), qPrintable(status()));
    auto *record = window->findChild<QTableWidget *>(QStringLiteral("twFitRecord"));
    QCOMPARE(record->item(0, 11)->text(), QStringLiteral("yes"));
    const double A = record->item(0, 2)->text().toDouble();
    const double Fc = record->item(0, 4)->text().toDouble();
    Vector x, y, dy;
    for (const QList<double> &row : testhelpers::tableRows(window))
        x << row[0], y << row[1], dy << row[2];
    const cFitStatistics table = cFitStatistics::compute(3, x, y, dy, A, Fc);
    QVERIFY(std::fabs(record->item(0, 5)->text().toDouble() / table.sigmaFc() - 1) < 1e-6);
    QVERIFY(std::fabs(record->item(0, 3)->text().toDouble() / table.sigmaA() - 1) < 1e-6);
}

void TestCalculate::reportSaysWhereTheFitCameFrom_data()
{
    QTest::addColumn<QString>("calibration");
    QTest::addColumn<bool>("saveAs");
    // POSIX time zones, which need no zone database: the offset's sign is the other way round.
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("offset");
    // Where Save Report writes, and why it fails (empty: it works).
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    QTest::newRow("calibration in use") << "in use" << false << QByteArray("CET-1") << "+01:00"
                                        << "report"
                                        << "";
    QTest::newRow("table saved under a new name, write-protected report")
        << "none" << true << QByteArray("UTC0") << "+00:00"
        << "protected.txt"
        << "the file is write-protected";
    QTest::newRow("calibration switched off, missing folder")
        << "off" << false << QByteArray("NST+3:30") << "-03:30"
        << "no/such/report.txt"
        << "No such file or directory";
    QTest::newRow("read-only folder") << "none" << false << QByteArray("UTC0") << "+00:00"
                                      << "locked/report.txt"
                                      << "Permission denied";
}

// A refined fit of an example file records the file last read or saved, the calibration whose
// correction the points had and the local time the fit started. Copy Report gives the report as
// the panel shows it, the files, and the record below a blank line; Save Report writes the same
// text as UTF-8 (a name without suffix gets .txt), or says in a warning box why it could not and
// leaves the folder as it was. Both wait for a fit.
void TestCalculate::reportSaysWhereTheFitCameFrom()
{
    QFETCH(QString, calibration);
    QFETCH(bool, saveAs);
    QFETCH(QByteArray, zone);
    QFETCH(QString, offset);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    const auto restoreZone =
        qScopeGuard([had = qEnvironmentVariableIsSet("TZ"), old = qgetenv("TZ")] {
            had ? qputenv("TZ", old) : qunsetenv("TZ");
            ::tzset();
        });
    qputenv("TZ", zone);
    ::tzset();
    auto *saveReport = child<QAction>("actionSaveReport");
    auto *saveButton = child<QPushButton>("pbSaveFitReport");
    auto *copyButton = child<QPushButton>("pbCopyFitReport");
    QVERIFY(!saveReport->isEnabled() && !saveButton->isEnabled() && !copyButton->isEnabled());

    const QString examples = QStringLiteral(VANTOREL_EXAMPLES);
    QString dataFile = examples + QStringLiteral("/ifband.txt");
    testhelpers::answerFileDialog(dataFile);
    child<QAction>("actionOpen")->trigger();
    QVERIFY(testhelpers::waitForWorkBesideWindow(window));
    const QString calibrationFile =
        calibration == QLatin1String("in use") ? examples + "/calibration.txt" : QString();
    if (calibration != QLatin1String("none")) {
        testhelpers::answerFileDialog(examples + QStringLiteral("/calibration.txt"));
        child<QToolButton>("tbOpenCalibration")->click();
        child<QCheckBox>("cbUseCalibration")->setChecked(!calibrationFile.isEmpty());
    }
    QTemporaryDir dir;
    if (saveAs) {
        dataFile = dir.filePath(QStringLiteral("renamed.txt"));
        testhelpers::answerFileDialog(dataFile);
        child<QAction>("actionSave")->trigger();
        QVERIFY(testhelpers::waitForWorkBesideWindow(window));
    }
    child<QCheckBox>("cbRefineFit")->setChecked(true);
    const qint64 before = QDateTime::currentDateTime().toSecsSinceEpoch();
    calculate(1);
    const qint64 after = QDateTime::currentDateTime().toSecsSinceEpoch();

    auto *record = child<QTableWidget>("twFitRecord");
    QCOMPARE(record->rowCount(), 1);
    QCOMPARE(record->item(0, 11)->text(), QStringLiteral("yes"));
    QCOMPARE(record->item(0, 12)->text(), dataFile);
    QCOMPARE(record->item(0, 13)->text(), calibrationFile);
    const QString time = record->item(0, 14)->text();
    QCOMPARE(time.size(), 25);
    QCOMPARE(time.mid(19), offset);
    const QDateTime started = QDateTime::fromString(time, Qt::ISODate);
    QVERIFY2(started.isValid() && started.toSecsSinceEpoch() >= before &&
                 started.toSecsSinceEpoch() <= after,
             qPrintable(time));
    QVERIFY(saveReport->isEnabled() && saveButton->isEnabled() && copyButton->isEnabled());

    copyButton->click();
    const QString copied = QGuiApplication::clipboard()->text();
    QStringList row;
    for (int column = 0; column < record->columnCount(); ++column)
        row << record->item(0, column)->text();
    const QStringList lines =
        reportOnScreen() << "Data file: " + dataFile
                         << "Calibration: " + (calibrationFile.isEmpty() ? QStringLiteral("none")
                                                                         : calibrationFile);
    QCOMPARE(copied, lines.join(QLatin1Char('\n')) +
                         QStringLiteral("\n\nmethod\tpoints\tA\tsigma_A\tFc\tsigma_Fc\tFb\tFt\t"
                                        "reduced_chi2\tsteps\tend\trefined\tdata_file\t"
                                        "calibration_file\ttime\tfit_from\tfit_to\tleft_out\t"
                                        "fixed\tcorrelation\tsigma_kind\n") +
                         row.join(QLatin1Char('\t')) + QLatin1Char('\n'));

    QString path = dir.filePath(target);
    const QByteArray old = "an older report\n";
    if (target.startsWith(QLatin1String("protected"))) {
        testhelpers::writeFile(path, old);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        testhelpers::answerReplace();
    } else if (target.startsWith(QLatin1String("locked"))) {
        if (::geteuid() == 0)
            QSKIP("the administrator writes into a read-only folder");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("locked")),
                                      QFile::ReadOwner | QFile::ExeOwner));
    }
    const QDir folder = QFileInfo(path).dir();
    const QStringList files = folder.entryList(QDir::Files | QDir::Hidden);
    QString warning;
    testhelpers::answerFileDialog(path);
    testhelpers::answerWarning(&warning);
    if (saveAs)
        saveButton->click();
    else
        saveReport->trigger();
    if (!reason.isEmpty()) {
        const QString message = QStringLiteral("Could not save %1: %2").arg(path, reason);
        QCOMPARE(warning, message);
        QCOMPARE(status(), message);
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), files);
        QFile file(path);
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : old, old);
        return;
    }
    path += QStringLiteral(".txt");
    QCOMPARE(status(), QStringLiteral("Saved the fit report to %1").arg(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QCOMPARE(text, copied);
    QVERIFY2(text.contains(QStringLiteral("Reduced χ²: ")) && text.contains(QStringLiteral("σ")),
             qPrintable(text));
}

void TestCalculate::narrowedFitsNothing_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QVector<int>>("leftOut");
    QTest::addColumn<QString>("why");
    QTest::newRow("from above to")
        << "2000"
        << "20" << QVector<int>() << "the fit range starts above its end";
    QTest::newRow("two points in the range") << "150"
                                             << "450" << QVector<int>()
                                             << "the fit range holds 2 points, and a fit needs at "
                                                "least 3";
    QTest::newRow("range and rows left out") << "100"
                                             << "700" << QVector<int>{3, 4}
                                             << "the fit range holds 2 points, and a fit needs "
                                                "at least 3";
    QTest::newRow("all but two left out") << ""
                                          << "" << QVector<int>{0, 1, 2, 3, 4, 5, 6}
                                          << "2 points are left in the fit, and a "
                                             "fit needs at least 3";
    QTest::newRow("from not a number") << "1e"
                                       << "" << QVector<int>() << "\"Fit X from\" is not a number";
    QTest::newRow("decimal comma")
        << ""
        << "1,5" << QVector<int>()
        << "\"to\" is not a number; use a point (.) as the decimal separator";
}

// Controls that leave fewer than 3 points fit nothing and say why; the fit shown stays.
void TestCalculate::narrowedFitsNothing()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QVector<int>, leftOut);
    QFETCH(QString, why);
    addPoints(rollOff);
    calculate(0);
    const QString before = status();
    const Vector curveBefore = {curve()->dataCount() * 1.0, curve()->data()->at(7)->value};
    type("leFitFrom", from);
    type("leFitTo", to);
    if (!leftOut.isEmpty())
        leaveOut(leftOut);
    calculate(0);
    QCOMPARE(status(), "Nothing fitted: " + why);
    QCOMPARE(child<QTableWidget>("twFitRecord")->rowCount(), 1);
    QCOMPARE((Vector{curve()->dataCount() * 1.0, curve()->data()->at(7)->value}), curveBefore);
    QVERIFY(before.startsWith("Parameters"));
}

void TestCalculate::controlsReachTheFit_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("fixA");
    QTest::addColumn<QString>("fixFc");
    QTest::addColumn<bool>("absolute");
    QTest::addColumn<QString>("ending");
    QTest::newRow("range") << 0 << "50"
                           << "1500"
                           << ""
                           << "" << false << " (7 of 9 points in the fit range) (refined)";
    QTest::newRow("open start") << 1 << ""
                                << "1000"
                                << ""
                                << "" << true << " (7 of 9 points in the fit range) (refined)";
    QTest::newRow("Fc fixed") << 0 << ""
                              << ""
                              << ""
                              << "600" << false << " (refined, Fc fixed)";
    QTest::newRow("A fixed, weighted") << 3 << ""
                                       << ""
                                       << "2.9"
                                       << "" << true << " (refined, A fixed)";
}

// The range, a fixed parameter and σ from dY alone reach the fit as a FitJob with the same
// options runs it (the regression tests hold that against scipy); the status, the report and the
// record say what was done, and a fixed parameter shows "fixed" for its σ.
void TestCalculate::controlsReachTheFit()
{
    QFETCH(int, method);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, fixA);
    QFETCH(QString, fixFc);
    QFETCH(bool, absolute);
    QFETCH(QString, ending);
    addPoints(method < 2 ? rollOff : rise);
    child<QComboBox>("cbCalculationType")->setCurrentIndex(method);
    auto *refine = child<QCheckBox>("cbRefineFit");
    refine->setChecked(fixA.isEmpty() && fixFc.isEmpty());
    FitJob::Options options;
    options.refine = true;
    type("leFitFrom", from);
    type("leFitTo", to);
    options.from = from.isEmpty() ? std::nan("") : from.toDouble();
    options.to = to.isEmpty() ? std::nan("") : to.toDouble();
    for (const auto &fix : {std::make_pair("cbFixA", fixA), std::make_pair("cbFixFc", fixFc)}) {
        if (fix.second.isEmpty())
            continue;
        const bool isA = fix.first == QLatin1String("cbFixA");
        child<QCheckBox>(fix.first)->setChecked(true);
        // The refinement is checked and held; the other parameter cannot be fixed as well.
        QVERIFY(refine->isChecked() && !refine->isEnabled());
        QVERIFY(!child<QCheckBox>(isA ? "cbFixFc" : "cbFixA")->isEnabled());
        type(isA ? "leFixA" : "leFixFc", fix.second);
        options.held = isA ? cFitStatistics::AHeld : cFitStatistics::FcHeld;
        options.heldValue = fix.second.toDouble();
    }
    auto *absoluteBox = child<QCheckBox>("cbAbsoluteSigma");
    QCOMPARE(absoluteBox->isEnabled(), method % 2 == 1);
    absoluteBox->setChecked(absolute);
    options.absoluteSigma = absolute;
    calculate(method);
    const std::unique_ptr<FitJob> job = expectedJob(method, options);
    QVERIFY(job->refined());
    const FitJob::Parameters &p = job->shown();
    QCOMPARE(status(), statusFor({p.A, p.Fc, p.Fb, p.Ft}) + ending);
    // Cut off in a narrow window, the message is whole in the tool tip.
    QCOMPARE(window->statusBar()->toolTip(), status());

    const bool held = options.held != cFitStatistics::NoneHeld;
    QCOMPARE(child<QLabel>("lbFitPoints")->text(),
             QStringLiteral("%1 points, %2 degrees of freedom%3")
                 .arg(job->usedPoints())
                 .arg(job->usedPoints() - (held ? 1 : 2))
                 .arg(ending.startsWith(" (7 of 9") ? ending.left(33) : QString()));
    const QString summary = summaryText();
    if (held)
        QVERIFY2(summary.contains(QString::number(options.heldValue) + " fixed"),
                 qPrintable(summary));
    QVERIFY2(summary.contains(absolute          ? "σ from dY alone"
                              : method % 2 == 1 ? "σ scaled by χ²ᵣ"
                                                : "σ from the residuals"),
             qPrintable(summary));

    const QStringList fields = recordRow(0);
    QCOMPARE(fields[1].toInt(), job->usedPoints());
    QCOMPARE(fields.mid(15, 3), QStringList({from, to, "0"}));
    QCOMPARE(fields[18], !fixA.isEmpty() ? "A=" + fixA : !fixFc.isEmpty() ? "Fc=" + fixFc : "");
    QCOMPARE(fields[20], QLatin1String(absolute ? "absolute" : "scaled"));
    const Vector figures = {job->sigmaA(), job->sigmaFc(), job->correlation()};
    for (int i = 0; i < 3; ++i) {
        const QString field = fields[QVector<int>{3, 5, 19}[i]];
        if (std::isnan(figures[i]))
            QCOMPARE(field, QStringLiteral("nan"));
        else
            QVERIFY2(std::fabs(field.toDouble() / figures[i] - 1) < 1e-9, qPrintable(field));
    }
    QCOMPARE(std::isnan(job->correlation()), held);

    // The plot is shaded outside the range, on either side of each end that is set: in the
    // empty corners of the falling roll-off, bottom left and top right.
    const QImage image = plot->grab().toImage();
    const QRect inside = plot->axisRect()->rect();
    for (const auto &end :
         {std::make_pair(from, inside.bottom() - 3), std::make_pair(to, inside.top() + 3)}) {
        if (end.first.isEmpty())
            continue;
        const int x = int(plot->xAxis->coordToPixel(end.first.toDouble()));
        const int outside = end.first == from ? x - 3 : x + 3;
        const int within = end.first == from ? x + 3 : x - 3;
        QVERIFY(image.pixelColor(outside, end.second).lightness() < 240);
        QCOMPARE(image.pixelColor(within, end.second), QColor(Qt::white));
    }

    // Let go, the fix gives the refinement back as it was.
    child<QCheckBox>("cbFixA")->setChecked(false);
    child<QCheckBox>("cbFixFc")->setChecked(false);
    QVERIFY(refine->isEnabled());
    QCOMPARE(refine->isChecked(), !held);
}

// A row left out stays in the table (grey, italic) and in graph 0, gets a hollow circle of its
// own on the plot, moves the fit, and is one step to undo; its mark follows the row when rows
// before it go and come back; a saved file holds it as an ordinary point and says so.
void TestCalculate::leftOutPointIsHollowAndUndoes()
{
    window->resize(900, 600);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    addPoints(rollOff);
    calculate(0);
    const QString fitted = status();
    QCPGraph *hollow = plot->graph(2);
    QCOMPARE(hollow->dataCount(), 0);
    const QPointF at(plot->xAxis->coordToPixel(400), plot->yAxis->coordToPixel(-3.2));
    // Dark grey pixels of the circle around the point.
    const auto greyAround = [this, at]() {
        const QImage image = plot->grab().toImage();
        int count = 0;
        for (int dy = -7; dy <= 7; ++dy)
            for (int dx = -7; dx <= 7; ++dx) {
                const QColor c = image.pixelColor(int(at.x()) + dx, int(at.y()) + dy);
                count += std::abs(c.red() - c.blue()) < 12 && c.red() > 110 && c.red() < 200;
            }
        return count;
    };
    QCOMPARE(greyAround(), 0);

    leaveOut({4});
    QCOMPARE(status(), QStringLiteral("Left 1 rows out of the fit (Ctrl+Z to undo)"));
    QAbstractItemModel *model = testhelpers::tableModel(window);
    QVERIFY(model->index(4, 1).data(Qt::FontRole).value<QFont>().italic());
    QVERIFY(!model->index(3, 1).data(Qt::FontRole).isValid());
    QCOMPARE(plot->graph(0)->dataCount(), 9);
    QCOMPARE(hollow->dataCount(), 1);
    QCOMPARE(hollow->data()->at(0)->key, 400.0);
    QVERIFY(greyAround() > 10);
    QVERIFY(child<QLabel>("lbFitNotes")->text().contains("The table has changed since this fit."));

    calculate(0);
    FitJob::Options options;
    options.leftOut = QVector<bool>(9, false);
    options.leftOut[4] = true;
    const std::unique_ptr<FitJob> job = expectedJob(0, options);
    const FitJob::Parameters &p = job->shown();
    QCOMPARE(status(), statusFor({p.A, p.Fc, p.Fb, p.Ft}) + " (1 left out)");
    QVERIFY(status() != fitted + " (1 left out)");
    QCOMPARE(recordRow(1)[1], QStringLiteral("8"));
    QCOMPARE(child<QLabel>("lbFitPoints")->text(),
             QStringLiteral("8 points, 6 degrees of freedom (1 left out)"));
    QCOMPARE(recordRow(1)[17], QStringLiteral("1"));

    child<QAction>("actionUndo")->trigger();
    QCOMPARE(status(), QStringLiteral("Undone: Leave Out of Fit"));
    QVERIFY(!model->index(4, 1).data(Qt::FontRole).isValid());
    QCOMPARE(hollow->dataCount(), 0);
    child<QAction>("actionRedo")->trigger();
    QCOMPARE(hollow->dataCount(), 1);
    QVERIFY(model->index(4, 1).data(Qt::FontRole).isValid());

    // Deleting row 1 moves the mark to row 3; undone, back to row 4.
    auto *view = child<QTableView>("twData");
    view->selectionModel()->clear();
    view->selectionModel()->select(model->index(1, 0), QItemSelectionModel::Select);
    child<QAction>("actionDelete_Selection")->trigger();
    QVERIFY(model->index(3, 1).data(Qt::FontRole).isValid());
    QCOMPARE(hollow->data()->at(0)->key, 400.0);
    child<QAction>("actionUndo")->trigger();
    for (int row = 0; row < 9; ++row)
        QCOMPARE(model->index(row, 1).data(Qt::FontRole).isValid(), row == 4);

    QTemporaryDir dir;
    const QString path = dir.filePath("kept.txt");
    testhelpers::answerFileDialog(path);
    child<QAction>("actionSave")->trigger();
    QVERIFY(testhelpers::waitForWorkBesideWindow(window));
    QVERIFY2(status().endsWith("; 1 points were left out of the fit; the file holds them as "
                               "ordinary points"),
             qPrintable(status()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 9);
    QCOMPARE(lines[4], QByteArray("400\t-3.2\t0.1"));
}

VANTOREL_TEST_MAIN(TestCalculate)

#include "tst_calculate.moc"
