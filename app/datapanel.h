#ifndef DATAPANEL_H
#define DATAPANEL_H

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

#include "app/backgroundwork.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

namespace Ui {
class MainWindow;
}

class QMainWindow;
class QPoint;
class QProgressDialog;
class QUndoStack;
class CalibrationPanel;
class PointTableModel;

// The Data panel and the table of points: the model and its undo history, Add Point, Delete
// Selection, Clear Data, Undo and Redo, Open Data and Save Data (read and written beside the
// window with BackgroundWork), the message of a failed save, and the question about unsaved
// points when the window closes. It owns the table; everything else reads the points through
// columnValues() or the model.
class DataPanel : public QObject
{
    Q_OBJECT

public:
    DataPanel(QMainWindow *window, Ui::MainWindow *ui);
    ~DataPanel() override;

    // The panel that corrects the points (the save with correction and the notes on points
    // outside the calibration need it).
    void setCalibration(CalibrationPanel *calibration) { this->calibration = calibration; }
    PointTableModel *model() const { return table; }
    // One column of the table in row order: 0 X, 1 Y, 2 dY.
    QVector<double> columnValues(int column) const;
    // The pause before the progress dialog of a file being read or written appears.
    void setFileDialogDelay(int milliseconds);
    void setUndoBudget(std::size_t bytes);
    static bool isIrregularFile(const QString &fileName);
    // The data file last read completely or saved with the table's own values (full path),
    // empty when none was.
    QString fileName() const { return lastFile; }

    // The operations of the panel's actions; each asks for the graph to be redrawn when it has
    // ended.
    void addPoint(double x, double y, double delta);
    // A point of the sweep numbered sweep: all points of one sweep are one step to undo.
    void addSweepPoint(double x, double y, double delta, quint64 sweep);
    void addPointFromDialog();
    void clear();
    void deleteSelection();
    // Leaves the selected rows out of the fit, or takes them back into it (one step to undo).
    void leaveOutSelection();
    void undo();
    void redo();
    void openData();
    void showContextMenu();
    // Asks for a file name and writes the table, Y corrected when Correction is true and a
    // calibration is in use. True when the file was written before the call returns; a save
    // that goes on beyond the dialog delay gives false and ends by itself later.
    bool saveData(bool Correction);
    // Whether the window may close now as far as the table goes: asks about unsaved points.
    // A close whose save goes on beside the window is made again once the file is written.
    bool mayClose();

    // A failed save or export is shown until something replaces it, or a later save works.
    void showSaveFailure(const QString &message);
    void clearSaveFailure();

signals:
    // The points changed (or an operation that may change them ended): the graph is redrawn.
    void refreshGraph();

private:
    struct ReadJob;
    struct WriteJob;

    // Whether the table is as it was last saved or read into an empty table.
    bool tableSaved() const;
    bool refuseIrregularFile(const QString &fileName);
    void openDataFile(const QString &fileName);
    bool startFileWork(const QString &label, const BackgroundWork::Work &work,
                       std::function<void()> then);
    void readEnded(ReadJob &job);
    QString takeRead(ReadJob &job);
    void writeEnded(const WriteJob &job);
    void openEnded();
    void showDeletedRows(int count);
    std::vector<bool> selectedRows() const;
    // After each step of the table (done, undone, redone, or older steps dropped), once the
    // operation has said what it did, adds what the step changed besides: points that came to
    // lie outside the calibration, steps that can no longer be undone; a refused cell text
    // goes once an edit worked.
    void queueTableReport();
    void reportTableChange();
    void undoStepsDropped(int count, const QString &newestText);
    void fileWorkShown(QProgressDialog *dialog);
    void fileWorkEnded();

    QMainWindow *window;
    Ui::MainWindow *ui;
    CalibrationPanel *calibration = nullptr;
    PointTableModel *table;
    // Every change of the table, for Undo and Redo; its clean state is the table as last saved
    // or read into an empty table.
    QUndoStack *undoStack;
    // PointTableModel::state() of the table as last saved or read into an empty table: only
    // what was written counts, not what came in while it was written.
    quint64 savedState = 0;
    bool tableReportQueued = false;
    // Steps that could no longer be kept, to be said after the operation's own message.
    QString undoNote;
    // The message of a cell text the editor refused, while it is shown.
    QString refusedText;
    // The save failure shown last, empty when none is.
    QString saveFailure;
    // Reads and writes data files beside the window, one at a time; what is to happen when the
    // running one has ended, and its progress dialog while that shows.
    BackgroundWork *fileWork;
    std::function<void()> afterFileWork;
    QPointer<QProgressDialog> fileProgress;
    // The share done of the file work, in per cent, set by the work as it ends.
    std::atomic<int> finalShare{0};
    // The full path of the data file last read or saved with the table's own values.
    QString lastFile;
    // Set while the save that the question at close asked for goes on beside the window.
    bool closeAfterSave = false;
};

#endif // DATAPANEL_H
