#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QString>
#include <QVector>

#include <optional>

#include "app/pointsource.h"
#include "instrument/instrumentaddress.h"

namespace Ui {
class MainWindow;
}

class QCloseEvent;
class QLabel;
class QThread;
class AboutForm;
class CalculationPanel;
class CalibrationPanel;
class DataPanel;
class GraphView;
class InstrumentController;
struct InstrumentReport;

// The one window of the program and the hub of its panels: every user operation is one of its
// slots, which hands it over to the panel that holds its state. The Data panel (table, Undo,
// files) is app/datapanel.h, the Calibration panel app/calibrationpanel.h, the Calculation panel
// with the Fit Report app/calculationpanel.h and the plot app/graphview.h; the member functions
// that still serve the instrument live beside this file (mainwindowinstrument.cpp), and those
// that concern the calibration and the fit together in mainwindowcalculation.cpp.
class MainWindow : public QMainWindow, private PointSource
{
    Q_OBJECT

public:
    // The pause between two readings of a timed run.
    static constexpr int defaultReadingIntervalMs = 500;

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
    void on_pbCalculate_clicked();
    void on_actionSaveGraph_triggered();
    void on_tbOpenCalibration_clicked();
    void on_actionUndo_triggered();
    void on_actionRedo_triggered();
    bool saveData(bool Correction = false);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Instrument link (app/mainwindowinstrument.cpp)
    void setupInstrument();
    void stopInstrument();
    void setMeasureStopped(bool stopped);
    void chooseInterface(int index);
    void showInterfaceFields();
    void readAddressField();
    void showInstrumentName();
    std::optional<InstrumentAddress> instrumentAddress();
    void runMarkerOperation(bool searchPeak);
    void lockInstrumentFields(bool locked);
    void showInstrumentFailure(const InstrumentReport &report);
    static QString withNotices(const QString &message, const QStringList &notices);
    void markerFinished(const InstrumentReport &report);
    void measurementFinished(const InstrumentReport &report);
    void instrumentIdentified(const InstrumentAddress &address, const QString &identity);
    // Asked before the window closes: false when a running measurement is to go on.
    bool closeDuringMeasurement();

    // The table and the calibration, handed over to their panels (app/mainwindow.cpp); the plot
    // and the fit read them through PointSource.
    QVector<double> columnValues(int column) const override;
    QVector<double> correctedYValues() const override;
    QString extrapolationText() const override;
    quint64 tableState() const override;
    void showSaveFailure(const QString &message);
    void clearSaveFailure();

    // The calibration and the fit (app/mainwindowcalculation.cpp)
    void calibrationToggled(bool checked);

    // The fit shown no longer matches the table or the calibration (change: a FitReportWidget
    // change flag), or matches them again.
    void setFitOutOfDate(bool outOfDate, int change = 0);

    Ui::MainWindow *ui;
    bool measureStopped;
    // The instrument operations run on a thread of their own; the window learns of each
    // operation's end through a signal.
    QThread *instrumentThread;
    InstrumentController *instrument;
    QLabel *instrumentLabel;
    int interfaceIndex = -1;
    int controlsBaseHeight = 0;
    QString addressTexts[5];
    bool instrumentBusy = false;
    bool runGoing = false;
    bool runDiscarded = false;
    int runTaken = 0;
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
