// MainWindow: the Calculate button of the calculation panel.
#include "app/mainwindow.h"

#include <QStatusBar>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/fitreportwidget.h"
#include "app/fitrunner.h"
#include "regression/cfitstatistics.h"
#include "regression/regressionmethods.h"
#include "ui_mainwindow.h"

// Fits the method chosen in the calculation panel to the table. X is scaled so that its largest
// value is 10 (every fit then starts at Fc = 5, whatever the unit of X); Fc, Fb and Ft are
// scaled back for the status text and the curve. A row whose X or Y is not a finite number
// carries nothing a fit could use and would spoil every objective value, so it is left out of
// the fit; it stays in the table and in the plot.
//
// The fit itself runs beside the window (FitRunner), which keeps repainting and, for a long
// fit, offers Cancel; the slot still returns only when everything is done. A cancelled fit
// leaves the curve and the parameters shown before.
void MainWindow::on_pbCalculate_clicked()
{
    if (fitRunner->isRunning())
        return;
    const int method = ui->cbCalculationType->currentIndex();
    std::unique_ptr<cAbstractRegressCalculation> created = regressionmethods::create(method);
    if (!created)
        return;
    delete calculation;
    calculation = created.release();

    const QVector<double> tableX = columnValues(0);
    const QVector<double> tableY = correctedYValues();
    const QVector<double> tableDy = columnValues(2);
    const int rows = std::min({tableX.size(), tableY.size(), tableDy.size()});
    QVector<double> x;
    QVector<double> y;
    QVector<double> dy;
    x.reserve(rows);
    y.reserve(rows);
    dy.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        if (std::isfinite(tableX[row]) && std::isfinite(tableY[row])) {
            x.append(tableX[row]);
            y.append(tableY[row]);
            dy.append(tableDy[row]);
        }
    }

    double xMax = 0;
    for (double value : x) {
        if (value > xMax)
            xMax = value;
    }
    const double k = 10 / xMax;
    for (double &value : x)
        value *= k;
    calculation->setXValues(x);
    calculation->setYValues(y);
    calculation->setDyValues(dy);
    const bool finished = fitRunner->run(calculation);
    if (closeAfterFit) {
        closeAfterFit = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
    reportFit(method, x, y, dy, k);
    if (!finished) {
        statusBar()->showMessage(tr("Calculation cancelled"));
        return;
    }

    const QCPRange range = ui->wPlot->xAxis->range();

    QVector<double> P = calculation->parameters();
    P[1] /= k;
    P[2] /= k;
    P[3] /= k;

    // With no positive X there is no scale and no curve: graph 1 is emptied. Samples whose
    // ordinate is not a finite number are left out of the curve.
    QVector<double> keys;
    QVector<double> values;
    if (xMax > 0) {
        for (double key : curveAbscissas(range.lower, range.upper)) {
            const double value = regressionmethods::model(method, key, P[0], P[1]);
            if (std::isfinite(value)) {
                keys.append(key);
                values.append(value);
            }
        }
    }
    // Only the curve changed: its layer is redrawn alone (the plot is replotted whole when its
    // buffers are out of date anyway).
    ui->wPlot->graph(1)->setData(keys, values);
    ui->wPlot->graph(1)->layer()->replot();

    QString text = tr("Parameters A = %1; Fc = %2; Fb = %3; Ft = %4")
                       .arg(QString::number(P[0], 'g', 6), QString::number(P[1], 'g', 6),
                            QString::number(P[2], 'g', 6), QString::number(P[3], 'g', 6));
    if (calculation->stepLimitReached())
        text += tr(" (not converged: step limit reached)");
    statusBar()->showMessage(text);
}

// Adds the fit just made to the fit report: its statistics on the points it used (x scaled by
// k, as the fit got them) and a line in the record, in the units of the table. A cancelled fit
// gets its line only, with nothing but its steps and where it stopped.
void MainWindow::reportFit(int method, const QVector<double> &x, const QVector<double> &y,
                           const QVector<double> &dy, double k)
{
    const QVector<double> P = calculation->parameters();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    FitRecord record;
    record.method = method;
    record.A = P[0];
    record.Fc = P[1] / k;
    record.steps = calculation->acceptedSteps();
    if (calculation->cancelled()) {
        record.points = cFitStatistics::usedPoints(method, x, y, dy);
        record.sigmaA = record.sigmaFc = record.Fb = record.Ft = record.reducedChiSquare = nan;
        record.end = FitRecord::Cancelled;
        ui->wFitReport->addCancelledFit(record);
        return;
    }
    const cFitStatistics statistics = cFitStatistics::compute(method, x, y, dy, P[0], P[1]);
    record.points = statistics.points();
    record.sigmaA = statistics.sigmaA();
    record.sigmaFc = statistics.sigmaFc() / k;
    record.Fb = P[2] / k;
    record.Ft = P[3] / k;
    record.reducedChiSquare = statistics.reducedChiSquare();
    record.end = calculation->stepLimitReached() ? FitRecord::StepLimit : FitRecord::Converged;
    ui->wFitReport->showFit(record, ui->cbCalculationType->itemText(method), statistics, 1 / k);
}

// The 50 abscissas of the fit curve from lower to upper, both ends included. They are evenly
// spaced in log X, so that the curve is as smooth in every decade of the logarithmic X axis;
// a range that reaches zero or below has no logarithm and is spaced evenly in X instead.
QVector<double> MainWindow::curveAbscissas(double lower, double upper)
{
    const int samples = 50;
    QVector<double> keys(samples);
    if (lower > 0) {
        const double logLower = std::log(lower);
        const double logStep = (std::log(upper) - logLower) / (samples - 1);
        for (int i = 0; i < samples; ++i)
            keys[i] = std::exp(logLower + i * logStep);
        keys.first() = lower;
        keys.last() = upper;
    } else {
        const double step = (upper - lower) / (samples - 1);
        double key = lower;
        for (int i = 0; i < samples; ++i) {
            keys[i] = key;
            key += step;
        }
    }
    return keys;
}
