#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QString>
#include <QVector>

#include "app/pointsource.h"

namespace Ui {
class MainWindow;
}

class QCloseEvent;
class AboutForm;
class CalculationPanel;
class CalibrationPanel;
class ControlsPanel;
class DataPanel;
class GraphView;

// The one window of the program and the hub of its panels: every user operation is one of its
// slots, which hands it over to the panel that holds its state. The Data panel (table, Undo,
// files) is app/datapanel.h, the Calibration panel app/calibrationpanel.h, the Controls panel
// (the instrument and the timed run) app/controlspanel.h, the Calculation panel with the Fit
// Report app/calculationpanel.h and the plot app/graphview.h; what concerns the calibration and
// the fit together is in mainwindowcalculation.cpp.
class MainWindow : public QMainWindow, private PointSource
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Sets the pause between two readings of a timed run (tests shorten it).
    void setReadingInterval(int milliseconds);
    // Sets the pause before the progress dialog of a data file being read or written appears
    // (tests shorten it).
    void setFileDialogDelay(int milliseconds);
    // Sets the memory the steps to undo may hold beside the table (tests make it small).
    void setUndoBudget(std::size_t bytes);

public slots:
    void updateGraph();

private slots:
    void updatePanelsMenu();
    void on_twData_customContextMenuRequested(const QPoint &pos);
    void on_pbSearchPeak_clicked();
    void on_pbGetMarkerPos_clicked();
    void on_pbStartMeasure_clicked();
    void addPoint(double x, double y, double delta);
    void timerTick(int taken, int count);
    void on_actionClear_triggered();
    void on_actionAddPoint_triggered();
    void on_actionOpen_triggered();
    void on_actionDelete_Selection_triggered();
    void on_actionLeaveOutOfFit_triggered();
    void on_pbCalculate_clicked();
    void on_actionSaveGraph_triggered();
    void on_tbOpenCalibration_clicked();
    void on_actionUndo_triggered();
    void on_actionRedo_triggered();
    bool saveData(bool Correction = false);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // The table and the calibration, handed over to their panels (app/mainwindow.cpp); the plot
    // and the fit read them through PointSource.
    QVector<double> columnValues(int column) const override;
    QVector<double> correctedYValues() const override;
    QString extrapolationText() const override;
    quint64 tableState() const override;
    QString dataFileName() const override;
    QString calibrationFileName() const override;
    QVector<bool> leftOutRows() const override;
    void showSaveFailure(const QString &message);
    void clearSaveFailure();

    // The calibration and the fit (app/mainwindowcalculation.cpp)
    void calibrationToggled(bool checked);

    // The fit shown no longer matches the table or the calibration (change: a FitReportWidget
    // change flag), or matches them again.
    void setFitOutOfDate(bool outOfDate, int change = 0);

    Ui::MainWindow *ui;
    // The Controls panel: the instrument, the marker operations and the timed run.
    ControlsPanel *controls;
    // The table of points with its files and Undo, and the calibration that corrects them.
    DataPanel *dataPanel;
    CalibrationPanel *calibrationPanel;
    AboutForm *aboutForm;
    // The plot of the points and the curve.
    GraphView *graph = nullptr;
    // The Calculation panel with the Fit Report.
    CalculationPanel *calculationPanel = nullptr;
};

#endif // MAINWINDOW_H
