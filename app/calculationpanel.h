#ifndef CALCULATIONPANEL_H
#define CALCULATIONPANEL_H

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

#include "app/fitrecord.h"
#include "regression/cabstractregresscalculation.h"
#include "regression/fitjob.h"

namespace Ui {
class MainWindow;
}
class QMainWindow;
class BackgroundWork;
class GraphView;
class PointSource;

// The Calculation panel with the Fit Report: Calculate fits the chosen method to the table
// beside the window, draws the curve and tells the parameters; the panel keeps the fit shown
// and knows whether the table or the calibration changed since.
class CalculationPanel : public QObject
{
    Q_OBJECT

public:
    CalculationPanel(QMainWindow *window, Ui::MainWindow *ui, const PointSource *points,
                     GraphView *graph);
    ~CalculationPanel() override;

    void calculate();
    bool isRunning() const;
    // Cancels the running fit and closes the window once it has ended.
    void closeWhenEnded();

    // Whether a fit was ever made (or started) in this window.
    bool hasFit() const { return calculation != nullptr; }
    // Marks the fit shown as one of a table (change: a FitReportWidget change flag) that has
    // changed since, or as current.
    void setFitOutOfDate(bool outOfDate, int change = 0);

    // The 50 abscissas of the fit curve from lower to upper, both ends included.
    static QVector<double> curveAbscissas(double lower, double upper);

    // Shades the plot outside the range in the fields (the fields may change the view).
    void showFitRange();

private:
    // Reads the range, the held parameter and the σ choice from the panel into options;
    // returns why nothing can be fitted with them (empty when something can).
    QString readOptions(FitJob::Options &options) const;
    // Checking a parameter to fix checks the refinement and holds it; the other fix waits.
    void updateFixControls();
    void fitEnded(bool finished);
    QString statusText(const FitJob &job, const QString &extrapolation) const;

    QMainWindow *window;
    Ui::MainWindow *ui;
    const PointSource *points;
    GraphView *graph;
    // The regression object of the last fit.
    std::unique_ptr<cAbstractRegressCalculation> calculation;
    cAbstractRegressCalculation::Monitor monitor;
    // The fit that runs, with what it was started from.
    std::unique_ptr<FitJob> job;
    int method = 0;
    QString extrapolation;
    // The files the fitted points came from and the time the fit started.
    FitOrigin origin;
    quint64 fittedTable = 0;
    bool outOfDate = false;
    bool closeAfterFit = false;
    // Whether the refinement was checked before a parameter was fixed, which checked it.
    bool refineBeforeFix = false;
    BackgroundWork *work;
};

#endif // CALCULATIONPANEL_H
