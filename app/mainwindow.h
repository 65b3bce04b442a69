#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QPointF>
#include <QString>
#include <QVector>

namespace Ui {
class MainWindow;
}

class QCloseEvent;
class QUndoStack;
class AboutForm;
class BackgroundTask;
class ControlsPanel;
class FitJob;
class FitRunner;
class PointTableModel;
class cAbstractRegressCalculation;

// The one window of the program, the hub: every user operation is one of its slots. It owns the
// panel classes, which hold their own state: ControlsPanel (app/controlspanel.h) the instrument
// and the timed run, its slots handing over to it. The member functions that serve the other
// subsystems, with the state they keep here, live beside this file, one source file each.
class MainWindow : public QMainWindow
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
    void on_pbCalculate_clicked();
    void on_actionSaveGraph_triggered();
    void on_tbOpenCalibration_clicked();
    void on_actionUndo_triggered();
    void on_actionRedo_triggered();
    bool saveData(bool Correction = false);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Data table and calibration (app/mainwindowdata.cpp)
    QVector<double> columnValues(int column) const;
    QVector<double> correctedYValues() const;
    bool correctionInUse() const;
    bool refuseIrregularFile(const QString &fileName);
    static bool isIrregularFile(const QString &fileName);
    void openDataFile(const QString &fileName);
    void showDeletedRows(int count);
    // Whether the table is as it was last saved or read into an empty table.
    bool tableSaved() const;
    // After each step of the table (done, undone, redone, or older steps dropped), once the
    // operation has said what it did, adds what the step changed besides: points that came to
    // lie outside the calibration, steps that can no longer be undone; a refused cell text
    // goes once an edit worked.
    void queueTableReport();
    void reportTableChange();
    void undoStepsDropped(int count, const QString &newestText);
    // A failed save or export is shown until something replaces it, or a later save works.
    void showSaveFailure(const QString &message);
    void clearSaveFailure();

    // Calculation (app/mainwindowcalculation.cpp)
    static QVector<double> curveAbscissas(double lower, double upper);
    QString statusText(const FitJob &job, const QString &extrapolation) const;
    // How many points lie outside the calibration, when the correction is in use and some do;
    // showExtrapolation puts that in the status bar when the correction was applied.
    QString extrapolationText() const;
    int pointsOutsideCalibration(int *points = nullptr) const;
    void showExtrapolation(bool applied = true);
    void calibrationChanged();
    void calibrationToggled(bool checked);

    // Plot (app/mainwindowplot.cpp)
    void setupPlot();
    void refreshPoints();
    // Whether the plot shows the points of the table as it is, in the full view of the last
    // refresh.
    bool pointsInFullView() const;
    void setFitOutOfDate(bool outOfDate);

    Ui::MainWindow *ui;
    // The Controls panel: the instrument, the marker operations and the timed run.
    ControlsPanel *controls;
    PointTableModel *model;
    // Every change of the table, for Undo and Redo; its clean state is the table as last saved
    // or read into an empty table.
    QUndoStack *undoStack;
    // PointTableModel::state() of the table as last saved or read into an empty table: only
    // what was written counts, not what came in while it was written.
    quint64 savedState = 0;
    // The number of points outside the calibration as last said in the status bar.
    int saidOutside = 0;
    bool tableReportQueued = false;
    // Steps that could no longer be kept, to be said after the operation's own message.
    QString undoNote;
    // The message of a cell text the editor refused, while it is shown.
    QString refusedText;
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
