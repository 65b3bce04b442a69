#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QString>
#include <QVector>

#include <optional>

#include "instrument/instrumentaddress.h"

namespace Ui {
class MainWindow;
}

class QCloseEvent;
class QLabel;
class QThread;
class AboutForm;
class CalibrationPanel;
class DataPanel;
class FitJob;
class FitRunner;
class InstrumentController;
struct InstrumentReport;
class cAbstractRegressCalculation;

// The one window of the program and the hub of its panels: every user operation is one of its
// slots, which hands it over to the panel that holds its state. The Data panel (table, Undo,
// files) is app/datapanel.h, the Calibration panel app/calibrationpanel.h; the member functions
// that still serve the instrument, the calculation and the plot live beside this file, one
// source file each (mainwindowinstrument.cpp, mainwindowcalculation.cpp, mainwindowplot.cpp).
class MainWindow : public QMainWindow
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

    // The table and the calibration, handed over to their panels (app/mainwindow.cpp)
    QVector<double> columnValues(int column) const;
    QVector<double> correctedYValues() const;
    QString extrapolationText() const;
    void showSaveFailure(const QString &message);
    void clearSaveFailure();

    // Calculation (app/mainwindowcalculation.cpp)
    static QVector<double> curveAbscissas(double lower, double upper);
    QString statusText(const FitJob &job, const QString &extrapolation) const;
    void calibrationToggled(bool checked);

    // Plot (app/mainwindowplot.cpp)
    void setupPlot();
    void refreshPoints();
    // Whether the plot shows the points of the table as it is, in the full view of the last
    // refresh.
    bool pointsInFullView() const;
    void setFitOutOfDate(bool outOfDate);

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
    cAbstractRegressCalculation *calculation;
    AboutForm *aboutForm;
    // Runs each fit beside the window; closing the window during a fit cancels it first and
    // closes once it has ended.
    FitRunner *fitRunner;
    bool closeAfterFit = false;
    // True once the table or the calibration changed after the last fit.
    bool fitOutOfDate = false;
    // Whether the points drawn are those of the table and calibration as they are, and the
    // axis ranges of the full view they were drawn in.
    bool pointsCurrent = false;
    QVector<double> fullView;
};

#endif // MAINWINDOW_H
