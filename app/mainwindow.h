#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QPointF>
#include <QString>
#include <QVector>

#include "instrument/markerposition.h"

namespace Ui {
class MainWindow;
}

class QCloseEvent;
class QFile;
class QUndoStack;
class AboutForm;
class BackgroundTask;
class FitJob;
class FitRunner;
class PointTableModel;
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
    void setReadingInterval(int milliseconds) { readingIntervalMs = milliseconds; }
    // Sets the pause before the progress dialog of a data file being read or written appears
    // (tests shorten it).
    void setFileDialogDelay(int milliseconds);

public slots:
    void updateGraph();

private slots:
    void updatePanelsMenu();
    void on_twData_customContextMenuRequested(const QPoint &pos);
    void on_pbSearchPeak_clicked();
    void on_pbGetMarkerPos_clicked();
    void on_pbStartMeasure_clicked();
    void addPoint(double x, double y, double delta);
    void timerTick();
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
    // Instrument link (instrument/mainwindowinstrument.cpp)
    bool openDevice();
    void closeDevice();
    void writeCommand(const QString &command);
    float readValue();
    void showGpibError(const QString &message);
    MarkerPosition readMarker();
    void setMeasureStopped(bool stopped);

    // Data table and calibration (data/mainwindowdata.cpp)
    QVector<double> columnValues(int column) const;
    QVector<double> correctedYValues() const;
    bool correctionInUse() const;
    bool refuseIrregularFile(const QString &fileName);
    static bool isIrregularFile(const QString &fileName);
    void openDataFile(const QString &fileName);
    void showDeletedRows(int count);
    // A failed save or export is shown until something replaces it, or a later save works.
    void showSaveFailure(const QString &message);
    void clearSaveFailure();

    // Calculation (app/mainwindowcalculation.cpp)
    static QVector<double> curveAbscissas(double lower, double upper);
    QString statusText(const FitJob &job, const QString &extrapolation) const;
    // How many points lie outside the calibration, when the correction is in use and some do;
    // showExtrapolation puts that in the status bar when the correction was applied.
    QString extrapolationText() const;
    void showExtrapolation(bool applied = true);
    void calibrationChanged();

    // Plot (plot/mainwindowplot.cpp)
    void setupPlot();
    void refreshPoints();
    // Whether the plot shows the points of the table as it is, in the full view of the last
    // refresh.
    bool pointsInFullView() const;
    void setFitOutOfDate(bool outOfDate);

    Ui::MainWindow *ui;
    int gpibDevice;
    bool measureStopped;
    double sumY;
    double sumY2;
    int readingIntervalMs = defaultReadingIntervalMs;
    PointTableModel *model;
    // Every change of the table, for Undo and Redo; its clean state is the table as last saved
    // or read into an empty table.
    QUndoStack *undoStack;
    cAbstractRegressCalculation *calculation;
    AboutForm *aboutForm;
    QVector<QPointF> calibration;
    // The save failure shown last, empty when none is.
    QString saveFailure;
    // Runs each fit beside the window; closing the window during a fit cancels it first and
    // closes once it has ended.
    FitRunner *fitRunner;
    // Reads and writes big data files beside the window.
    BackgroundTask *fileTask;
    bool closeAfterFit = false;
    // True once the table or the calibration changed after the last fit.
    bool fitOutOfDate = false;
    // Whether the points drawn are those of the table and calibration as they are, and the
    // axis ranges of the full view they were drawn in.
    bool pointsCurrent = false;
    QVector<double> fullView;
};

#endif // MAINWINDOW_H
