// MainWindow: the calibration in use, and what it means for the points and the fit.
#include "app/mainwindow.h"

#include <QStatusBar>

#include <cmath>

#include "app/calculationpanel.h"
#include "app/fitreportwidget.h"
#include "app/graphview.h"
#include "data/numbertext.h"
#include "data/pointtablemodel.h"
#include "ui_mainwindow.h"

// Points outside the calibration's first and last x have their correction extrapolated along
// the end segments, however far away they lie. 0 when the correction is not in use; *points
// gets the number of points with an X.
int MainWindow::pointsOutsideCalibration(int *points) const
{
    int counted = 0;
    int outside = 0;
    if (correctionInUse()) {
        const double first = calibration.first().x();
        const double last = calibration.last().x();
        for (const DataPoint &point : model->points()) {
            if (std::isnan(point.x))
                continue;
            ++counted;
            if (point.x < first || point.x > last)
                ++outside;
        }
    }
    if (points)
        *points = counted;
    return outside;
}

QString MainWindow::extrapolationText() const
{
    int points = 0;
    const int outside = pointsOutsideCalibration(&points);
    if (outside == 0)
        return QString();
    const double first = calibration.first().x();
    const double last = calibration.last().x();
    return tr("%1 of %2 points lie outside the calibration (%3 to %4): their correction is "
              "extrapolated")
        .arg(outside)
        .arg(points)
        .arg(QString::number(first, 'g', 6), QString::number(last, 'g', 6));
}

void MainWindow::showExtrapolation(bool applied)
{
    const QString text = applied ? extrapolationText() : QString();
    if (!text.isEmpty())
        statusBar()->showMessage(text);
}

// A calibration loaded or dropped leaves the fit out of date; one applied says where it is
// extrapolated.
void MainWindow::calibrationChanged()
{
    graph->pointsChanged();
    setFitOutOfDate(true, FitReportWidget::CalibrationChange);
    saidOutside = pointsOutsideCalibration();
    showExtrapolation();
}

// Switching the correction on or off with a calibration loaded changes the calibration in use:
// a fit shown says so, and a correction switched on says where it is extrapolated.
void MainWindow::calibrationToggled(bool checked)
{
    graph->pointsChanged();
    if (calibration.isEmpty())
        return;
    const bool fitShown = calculationPanel->hasFit();
    setFitOutOfDate(true, FitReportWidget::CalibrationChange);
    saidOutside = pointsOutsideCalibration();
    QStringList text;
    if (fitShown)
        text << tr("The calibration in use has changed since this fit");
    const QString extrapolation = checked ? extrapolationText() : QString();
    if (!extrapolation.isEmpty())
        text << extrapolation;
    if (!text.isEmpty())
        statusBar()->showMessage(text.join(QStringLiteral("; ")));
}
