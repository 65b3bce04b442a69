// MainWindow: the table of points and everything that reads or writes it.
#include "app/mainwindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QUndoStack>

#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <vector>

#include "app/addpointdialog.h"
#include "app/backgroundtask.h"
#include "app/controlspanel.h"
#include "app/fitrunner.h"
#include "data/calibration.h"
#include "data/datafilereader.h"
#include "data/datafilewriter.h"
#include "data/filekind.h"
#include "data/pointtablemodel.h"
#include "ui_mainwindow.h"

void MainWindow::addPoint(double x, double y, double delta)
{
    model->appendPoints({DataPoint{x, y, delta}}, tr("Add Point"));
}

void MainWindow::setUndoBudget(std::size_t bytes)
{
    model->setUndoBudget(bytes);
}

bool MainWindow::tableSaved() const
{
    return model->state() == savedState;
}

// Queued, so that the note follows the message of the operation that made the step (a run's
// point says "Point added" only after the point is in the table); several steps of one
// operation give one note.
void MainWindow::queueTableReport()
{
    if (tableReportQueued)
        return;
    tableReportQueued = true;
    QMetaObject::invokeMethod(this, &MainWindow::reportTableChange, Qt::QueuedConnection);
}

void MainWindow::reportTableChange()
{
    tableReportQueued = false;
    if (!refusedText.isEmpty() && statusBar()->currentMessage() == refusedText)
        statusBar()->clearMessage();
    refusedText.clear();
    QStringList notes;
    const int outside = pointsOutsideCalibration();
    if (outside != saidOutside) {
        saidOutside = outside;
        if (outside > 0)
            notes << extrapolationText();
    }
    if (!undoNote.isEmpty())
        notes << undoNote;
    undoNote.clear();
    if (notes.isEmpty())
        return;
    const QString current = statusBar()->currentMessage();
    if (!current.isEmpty())
        notes.prepend(current);
    statusBar()->showMessage(notes.join(QStringLiteral("; ")));
}

void MainWindow::undoStepsDropped(int count, const QString &newestText)
{
    const qint64 megabytes = static_cast<qint64>(model->undoBudgetBytes() >> 20);
    undoNote = count == 1 ? tr("the step \"%1\" can no longer be undone (Undo keeps at most "
                               "%2 MB)")
                                .arg(newestText)
                                .arg(megabytes)
                          : tr("the oldest %1 steps, up to \"%2\", can no longer be undone (Undo "
                               "keeps at most %3 MB)")
                                .arg(count)
                                .arg(newestText)
                                .arg(megabytes);
    queueTableReport();
}

QVector<double> MainWindow::columnValues(int column) const
{
    return model->column(column);
}

// One step to undo; the columns and their labels stay.
void MainWindow::on_actionClear_triggered()
{
    showDeletedRows(model->clearPoints());
    updateGraph();
}

// The selection is turned into row marks and let go before the rows go (the model's reset
// would otherwise invalidate each of its ranges one by one); the marked rows go in one step,
// which is one step to undo. The view stays where it was.
void MainWindow::on_actionDelete_Selection_triggered()
{
    QTableView *view = ui->twData;
    std::vector<bool> selected(static_cast<size_t>(model->rowCount()), false);
    for (const QItemSelectionRange &range : view->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            selected[static_cast<size_t>(row)] = true;
    }
    view->selectionModel()->clear();
    const int scroll = view->verticalScrollBar()->value();
    const int deleted = model->deleteRows(selected);
    view->verticalScrollBar()->setValue(scroll);
    showDeletedRows(deleted);
    updateGraph();
}

void MainWindow::showDeletedRows(int count)
{
    if (count > 0)
        statusBar()->showMessage(tr("Deleted %1 rows (Ctrl+Z to undo)").arg(count));
}

// Each step back or forward redraws the points once and names the step.
void MainWindow::on_actionUndo_triggered()
{
    if (undoStack->canUndo()) {
        const QString text = undoStack->undoText();
        undoStack->undo();
        statusBar()->showMessage(tr("Undone: %1").arg(text));
    }
    updateGraph();
}

void MainWindow::on_actionRedo_triggered()
{
    if (undoStack->canRedo()) {
        const QString text = undoStack->redoText();
        undoStack->redo();
        statusBar()->showMessage(tr("Redone: %1").arg(text));
    }
    updateGraph();
}

// With "Use calibration" checked and a calibration loaded, the interpolated correction at each
// row's X is subtracted from its Y; otherwise the Y column comes back as it is.
QVector<double> MainWindow::correctedYValues() const
{
    const QVector<double> y = columnValues(1);
    if (!correctionInUse())
        return y;
    return Calibration::corrected(calibration, columnValues(0), y);
}

bool MainWindow::correctionInUse() const
{
    return ui->cbUseCalibration->isChecked() && !calibration.isEmpty();
}

// Every opening starts from a fresh dialog with all three fields at "0".
void MainWindow::on_actionAddPoint_triggered()
{
    AddPointDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const double delta = dialog.getDelta();
    const double y = dialog.getY();
    const double x = dialog.getX();
    addPoint(x, y, delta);
    updateGraph();
    statusBar()->showMessage(tr("Point added: X = %1; Y = %2; dY = %3")
                                 .arg(QString::number(x, 'g', 6), QString::number(y, 'g', 6),
                                      QString::number(delta, 'g', 6)));
}

// The file's points are appended after the rows already there; the graph is refreshed
// whatever happened, also after a cancelled dialog.
void MainWindow::on_actionOpen_triggered()
{
    const QString fileName =
        QFileDialog::getOpenFileName(this, tr("Open File..."), QString(), tr("Data (*.txt)"));
    if (!fileName.isEmpty() && !refuseIrregularFile(fileName))
        openDataFile(fileName);
    updateGraph();
#ifdef __GLIBC__
    // Reading and drawing a big file leave free memory in the heap; it goes back to the system.
    if (model->rowCount() > 100000)
        malloc_trim(0);
#endif
}

// Reads the file in one pass beside the window and appends its points as one step to undo. A
// file that cannot be read to its end, a read cancelled or running out of memory adds nothing,
// and the status bar says so. A file read says how many points it gave, and how many lines
// held no point, dY fields no number or more than three fields. Points read into what is an
// empty table once the file is read are the file's and need no saving.
void MainWindow::openDataFile(const QString &fileName)
{
    std::vector<DataPoint> points;
    DataFileReader::Counts counts;
    DataFileReader::Outcome outcome = DataFileReader::Complete;
    QString openError;
    QString readError;
    const bool ran =
        fileTask->run(tr("Reading %1…").arg(fileName), [&](BackgroundTask::Progress &progress) {
            QFile file(fileName);
            if (!file.open(QIODevice::ReadOnly)) {
                openError = file.errorString();
                return;
            }
            progress.total = file.size();
            DataFileReader::Control control;
            control.progress = [&progress](qint64 done) { progress.done = done; };
            control.cancel = &progress.cancel;
            outcome = DataFileReader::readData(file, &points, &counts, &control);
            readError = file.errorString();
        });
    if (!ran)
        openError = tr("no worker thread could be started");
    if (!openError.isEmpty()) {
        statusBar()->showMessage(tr("Could not open %1: %2").arg(fileName, openError));
        return;
    }
    switch (outcome) {
    case DataFileReader::ReadError:
        statusBar()->showMessage(tr("Could not read %1: %2").arg(fileName, readError));
        return;
    case DataFileReader::OutOfMemory:
        statusBar()->showMessage(
            tr("Could not read %1: its points do not fit into memory").arg(fileName));
        return;
    case DataFileReader::Cancelled:
        statusBar()->showMessage(tr("Open Data cancelled: nothing was read from %1").arg(fileName));
        return;
    case DataFileReader::Complete:
        break;
    }
    const bool intoEmptyTable = model->rowCount() == 0;
    const int read = static_cast<int>(points.size());
    try {
        model->reserveRows(points.size());
    } catch (const std::bad_alloc &) {
        statusBar()->showMessage(
            tr("Could not read %1: its points do not fit into memory").arg(fileName));
        return;
    }
    model->appendPoints(std::move(points), tr("Open Data"));
    if (intoEmptyTable)
        savedState = model->state();
    QString text = tr("Read %1 points from %2").arg(read).arg(fileName);
    if (counts.skippedLines > 0)
        text += tr("; skipped %1 lines without numbers").arg(counts.skippedLines);
    if (counts.unreadableDy > 0)
        text += tr("; %1 dY fields were not numbers and read as 0").arg(counts.unreadableDy);
    if (counts.extraFields > 0)
        text += tr("; %1 lines had more than three fields (the rest was ignored)")
                    .arg(counts.extraFields);
    statusBar()->showMessage(text);
}

// Refuses, with a status message, a chosen path that names something other than a regular file:
// reading a pipe, a socket or a device could block the window for ever.
bool MainWindow::refuseIrregularFile(const QString &fileName)
{
    if (!isIrregularFile(fileName))
        return false;
    statusBar()->showMessage(tr("Could not open %1: not a regular file").arg(fileName));
    return true;
}

bool MainWindow::isIrregularFile(const QString &fileName)
{
    const FileKind::Kind kind = FileKind::of(fileName);
    return kind != FileKind::Regular && kind != FileKind::Missing;
}

// Writes the table, with the calibration-corrected Y when Correction is true, and tells whether
// a file was written. The file is written beside the window; after a moment a dialog shows how
// far it got and offers Cancel, which leaves any existing file as it was. A save that fails
// does that too and says so in a warning box; one that works takes away the message of an
// earlier failure. A file that holds the table's own values makes the table count as saved: the
// table as it was when its values were taken, not any point that came in while they were
// written.
bool MainWindow::saveData(bool Correction)
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save File..."), QStringLiteral("./out.txt"), tr("Data (*.txt)"));
    if (fileName.isEmpty())
        return false;
    const bool corrected = Correction && correctionInUse();
    const QVector<double> x = columnValues(0);
    const QVector<double> y = corrected ? correctedYValues() : columnValues(1);
    const QVector<double> dy = columnValues(2);
    const quint64 state = model->state();
    QString error;
    bool written = false;
    bool cancelled = false;
    const bool ran =
        fileTask->run(tr("Writing %1…").arg(fileName), [&](BackgroundTask::Progress &progress) {
            progress.total = x.size();
            DataFileWriter::Control control;
            control.progress = [&progress](int done) { progress.done = done; };
            control.cancel = &progress.cancel;
            written = DataFileWriter::write(fileName, x, y, dy, &error, &control, &cancelled);
        });
    if (!ran)
        error = tr("no worker thread could be started");
    if (cancelled) {
        statusBar()->showMessage(tr("Save Data cancelled: %1 was not changed").arg(fileName));
        return false;
    }
    if (!written) {
        showSaveFailure(tr("Could not save %1: %2").arg(fileName, error));
        return false;
    }
    clearSaveFailure();
    if (!corrected)
        savedState = state;
    QString text = tr("Saved %1 points to %2").arg(x.size()).arg(fileName);
    const QString extrapolation = corrected ? extrapolationText() : QString();
    if (!extrapolation.isEmpty())
        text += QStringLiteral("; ") + extrapolation;
    if (Correction && !corrected)
        text += tr("; no calibration in use: the file holds the measured values");
    statusBar()->showMessage(text);
    return true;
}

// A cancelled dialog, a file that cannot be read and a file without a single calibration point
// leave the calibration in use and its name as they were; the status bar says why. A file read
// replaces the calibration, sorted by x. Lines that hold no calibration point are skipped, and
// the status bar says how many.
void MainWindow::on_tbOpenCalibration_clicked()
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Open Calibrations..."),
                                                          QString(), tr("TXT files (*.txt)"));
    if (!fileName.isEmpty()) {
        QString reason;
        DataFileReader::Counts counts;
        QVector<QPointF> loaded;
        QFile file(fileName);
        if (isIrregularFile(fileName)) {
            reason = tr("not a regular file");
        } else if (!file.open(QIODevice::ReadOnly)) {
            reason = file.errorString();
        } else {
            switch (DataFileReader::readCalibration(file, &loaded, &counts)) {
            case DataFileReader::Complete:
                break;
            case DataFileReader::ReadError:
                reason = file.errorString();
                break;
            case DataFileReader::OutOfMemory:
                reason = tr("its points do not fit into memory");
                break;
            case DataFileReader::Cancelled:
                reason = tr("cancelled");
                break;
            }
        }
        if (!reason.isEmpty()) {
            statusBar()->showMessage(
                tr("Could not load calibration %1: %2; the calibration in use is unchanged")
                    .arg(fileName, reason));
        } else if (loaded.isEmpty()) {
            statusBar()->showMessage(tr("%1 holds no calibration points").arg(fileName));
        } else {
            Calibration::sortByX(loaded);
            calibration = loaded;
            ui->leCalibrationFile->setText(fileName);
            qDebug() << "Calibration loaded. N points:" << calibration.size();
            calibrationChanged();
            if (counts.skippedLines > 0) {
                QString text =
                    tr("Read %1 calibration points from %2; skipped %3 lines without numbers")
                        .arg(calibration.size())
                        .arg(fileName)
                        .arg(counts.skippedLines);
                const QString extrapolation = extrapolationText();
                if (!extrapolation.isEmpty())
                    text += QStringLiteral("; ") + extrapolation;
                statusBar()->showMessage(text);
            }
        }
    }
    updateGraph();
}

// A failure is shown in a warning box, which waits to be read, and stays in the status bar
// until something replaces it or a later save works.
void MainWindow::showSaveFailure(const QString &message)
{
    saveFailure = message;
    statusBar()->showMessage(message);
    QMessageBox::warning(this, tr("Vantorel"), message);
}

void MainWindow::clearSaveFailure()
{
    if (!saveFailure.isEmpty() && statusBar()->currentMessage() == saveFailure)
        statusBar()->clearMessage();
    saveFailure.clear();
}

// Asks before points that were never saved are lost with the window: Save quits only when the
// file was written, Cancel and Escape keep the window. An empty table, or one that is (or has
// been undone back to) what was last saved or read into an empty table, closes at once. A running
// fit is cancelled first; the window closes (and asks) once it has ended. A point that comes in
// while the question or the save waits is asked about again.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!controls->mayClose()) {
        event->ignore();
        return;
    }
    if (fitRunner->isRunning()) {
        fitRunner->cancel();
        closeAfterFit = true;
        event->ignore();
        return;
    }
    for (;;) {
        const int rows = model->rowCount();
        if (tableSaved() || rows == 0) {
            event->accept();
            return;
        }
        const quint64 asked = model->state();
        QMessageBox box(QMessageBox::Warning, tr("Vantorel"),
                        tr("The table holds %1 points that have not been saved.").arg(rows),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
        box.setDefaultButton(QMessageBox::Save);
        box.setEscapeButton(QMessageBox::Cancel);
        const int answer = box.exec();
        if (answer == QMessageBox::Discard && model->state() == asked) {
            event->accept();
            return;
        }
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && !saveData(false)) ||
            (answer != QMessageBox::Save && answer != QMessageBox::Discard)) {
            event->ignore();
            return;
        }
    }
}
