#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QPointF>
#include <QString>
#include <QVector>

#include <optional>

#include "instrument/instrumentaddress.h"

namespace Ui {
class MainWindow;
}

class QCloseEvent;
class QFile;
class QLabel;
class QStandardItemModel;
class QThread;
class AboutForm;
class FitRunner;
class InstrumentController;
struct InstrumentReport;
class cAbstractRegressCalculation;

// The one window of the program. It owns all state (the points, the calibration, the last fit,
// the acquisition counters) and every user operation is one of its slots. The member functions
// of each subsystem live in a source file of that subsystem's folder.
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
    bool saveData(bool Correction = false);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Instrument link (instrument/mainwindowinstrument.cpp)
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
    void markerFinished(const InstrumentReport &report);
    void measurementFinished(const InstrumentReport &report);
    void instrumentIdentified(const InstrumentAddress &address, const QString &identity);
    // Asked before the window closes: false when a running measurement is to go on.
    bool closeDuringMeasurement();

    // Data table and calibration (data/mainwindowdata.cpp)
    QVector<double> columnValues(int column) const;
    QVector<double> correctedYValues() const;
    bool correctionInUse() const;
    bool refuseIrregularFile(const QString &fileName);
    bool openChosenFile(QFile &file);
    void setupModel();
    // A failed save or export is shown until something replaces it, or a later save works.
    void showSaveFailure(const QString &message);
    void clearSaveFailure();

    // Calculation (app/mainwindowcalculation.cpp)
    static QVector<double> curveAbscissas(double lower, double upper);
    void reportFit(int method, const QVector<double> &x, const QVector<double> &y,
                   const QVector<double> &dy, double k);

    // Plot (plot/mainwindowplot.cpp)
    void setupPlot();

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
    QStandardItemModel *model;
    cAbstractRegressCalculation *calculation;
    AboutForm *aboutForm;
    QVector<QPointF> calibration;
    // True once the table holds points that were neither saved nor read into an empty table.
    bool unsavedPoints = false;
    // The save failure shown last, empty when none is.
    QString saveFailure;
    // Runs each fit beside the window; closing the window during a fit cancels it first and
    // closes once it has ended.
    FitRunner *fitRunner;
    bool closeAfterFit = false;
};

#endif // MAINWINDOW_H
