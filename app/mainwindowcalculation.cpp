// MainWindow: the calibration switched on or off, which concerns the plot, the fit and the
// status bar together.
#include "app/mainwindow.h"

#include <QStatusBar>

#include "app/calculationpanel.h"
#include "app/calibrationpanel.h"
#include "app/fitreportwidget.h"
#include "app/graphview.h"
#include "ui_mainwindow.h"

// Switching the correction on or off with a calibration loaded changes the calibration in use:
// a fit shown says so, and a correction switched on says where it is extrapolated.
void MainWindow::calibrationToggled(bool checked)
{
    graph->pointsChanged();
    if (!calibrationPanel->isLoaded())
        return;
    const bool fitShown = calculationPanel->hasFit();
    setFitOutOfDate(true, FitReportWidget::CalibrationChange);
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
