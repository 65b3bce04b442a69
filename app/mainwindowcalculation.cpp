// MainWindow: the Calculate button of the calculation panel.
#include "app/mainwindow.h"

#include <QStatusBar>
#include <qcustomplot.h>

#include <cmath>
#include <memory>

#include "app/calibrationpanel.h"
#include "app/fitreportwidget.h"
#include "app/fitrunner.h"
#include "data/numbertext.h"
#include "regression/fitjob.h"
#include "regression/regressionmethods.h"
#include "ui_mainwindow.h"

// Fits the method chosen in the calculation panel to the table (FitJob: X scaled so that its
// largest value is 10, rows without finite X or Y left out, Y of the recombination methods
// brought into the range their descent handles), and with "Refine to the least-squares
// minimum" checked continues to the exact minimum. The points are refreshed as Update Graph
// does, and the curve spans the X range of that refresh, whatever the zoom.
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

    FitJob job(method, columnValues(0), correctedYValues(), columnValues(2),
               ui->cbRefineFit->isChecked());
    const QString extrapolation = extrapolationText();
    cAbstractRegressCalculation *fit = calculation;
    const bool finished =
        fitRunner->run([&job, fit](cAbstractRegressCalculation::Monitor *monitor) {
            return job.run(*fit, monitor);
        });
    if (closeAfterFit) {
        closeAfterFit = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
    if (!finished) {
        FitRecord record = FitReportWidget::recordOf(job);
        record.points = job.usedPoints();
        record.sigmaA = record.sigmaFc = record.Fb = record.Ft = record.reducedChiSquare =
            std::nan("");
        record.end = FitRecord::Cancelled;
        record.refined = false;
        ui->wFitReport->addCancelledFit(record);
        statusBar()->showMessage(tr("Calculation cancelled"));
        return;
    }

    // The points drawn are refreshed, with the old curve left out of the rescale, so that the
    // X range is that of the points alone; points drawn from the table as it is, in the full
    // view, are drawn already, and only the curve is drawn anew (a hundred thousand points
    // with their bars would hold up the window).
    const bool pointsShown = pointsInFullView();
    if (!pointsShown) {
        setFitOutOfDate(true);
        refreshPoints();
    }
    const QCPRange range = ui->wPlot->xAxis->range();
    const FitJob::Parameters &P = job.shown();
    // With no positive X there is no scale and no curve: graph 1 is emptied. Samples whose
    // ordinate is not a finite number are left out of the curve.
    QVector<double> keys;
    QVector<double> values;
    if (job.xScale() > 0 && std::isfinite(job.xScale())) {
        for (double key : curveAbscissas(range.lower, range.upper)) {
            const double value = regressionmethods::model(method, key, P.A, P.Fc);
            if (std::isfinite(value)) {
                keys.append(key);
                values.append(value);
            }
        }
    }
    ui->wPlot->graph(1)->setData(keys, values);
    ui->wFitReport->showFit(job, ui->cbCalculationType->itemText(method), extrapolation);
    setFitOutOfDate(false);
    if (!pointsShown) {
        ui->wPlot->rescaleAxes(false);
        ui->wPlot->replot();
    }
    statusBar()->showMessage(statusText(job, extrapolation));
}

// "Parameters A = %1; Fc = %2; Fb = %3; Ft = %4" with what the numbers are: the step limit,
// points left out and why, a weighted fit that had no usable dY, an undefined result, points
// whose correction is extrapolated, the refinement, and bounds that are no crossing.
QString MainWindow::statusText(const FitJob &job, const QString &extrapolation) const
{
    const FitJob::Parameters &P = job.shown();
    QString text = tr("Parameters A = %1; Fc = %2; Fb = %3; Ft = %4")
                       .arg(QString::number(P.A, 'g', 6), QString::number(P.Fc, 'g', 6),
                            QString::number(P.Fb, 'g', 6), QString::number(P.Ft, 'g', 6));
    if (!extrapolation.isEmpty())
        text += QStringLiteral("; ") + extrapolation;
    if (job.stepLimitReached())
        text += tr(" (not converged: step limit reached)");
    if (job.notFiniteRows() > 0)
        text += tr(" (%1 of %2 points left out: X or Y not a number)")
                    .arg(job.notFiniteRows())
                    .arg(job.rows());
    if (job.pointsWithoutWeight() > 0)
        text += tr(" (%1 of %2 points left out: dY is 0 or not a number)")
                    .arg(job.pointsWithoutWeight())
                    .arg(job.rows() - job.notFiniteRows());
    if (job.fittedUnweighted())
        text += tr(" (no usable dY: fitted unweighted)");
    if (!job.undefinedReason().isEmpty()) {
        text += tr(" (undefined: %1)").arg(job.undefinedReason());
        return text;
    }
    if (job.refined())
        text += tr(" (refined)");
    else if (job.refineAsked())
        text += tr(" (not refined: %1)").arg(job.minimum().reason);
    if (!P.fbFound)
        text += tr(" (Fb not found)");
    if (!P.ftFound)
        text += tr(" (Ft not found)");
    return text;
}

// Switching the correction on or off with a calibration loaded changes the calibration in use:
// a fit shown says so, and a correction switched on says where it is extrapolated.
void MainWindow::calibrationToggled(bool checked)
{
    pointsCurrent = false;
    if (!calibrationPanel->isLoaded())
        return;
    const bool fitShown = calculation != nullptr;
    ui->wFitReport->setOutOfDate(true, FitReportWidget::CalibrationChange);
    setFitOutOfDate(true);
    calibrationPanel->noteOutside();
    QStringList text;
    if (fitShown)
        text << tr("The calibration in use has changed since this fit");
    const QString extrapolation = checked ? extrapolationText() : QString();
    if (!extrapolation.isEmpty())
        text << extrapolation;
    if (!text.isEmpty())
        statusBar()->showMessage(text.join(QStringLiteral("; ")));
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
