#include "app/datapanel.h"

#include <QCursor>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QUndoStack>

#include <memory>
#include <new>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <vector>

#include "app/addpointdialog.h"
#include "app/backgroundwork.h"
#include "app/calibrationpanel.h"
#include "data/datafilereader.h"
#include "data/datafilewriter.h"
#include "data/filekind.h"
#include "data/numbertext.h"
#include "data/pointtablemodel.h"
#include "data/qdoubledelegate.h"
#include "data/readfilecommand.h"
#include "data/sweeppointscommand.h"
#include "ui_mainwindow.h"

// What a file being read leaves for the window, filled in on the worker thread.
struct DataPanel::ReadJob
{
    QString fileName;
    std::vector<DataPoint> points;
    DataFileReader::Counts counts;
    DataFileReader::Outcome outcome = DataFileReader::Complete;
    QString openError;
    QString readError;
};

// The values a file is written from, taken when the save starts, and what the writing left.
struct DataPanel::WriteJob
{
    QString fileName;
    bool Correction = false;
    bool corrected = false;
    QVector<double> x;
    QVector<double> y;
    QVector<double> dy;
    quint64 state = 0;
    int leftOut = 0;
    QString error;
    bool written = false;
    bool cancelled = false;
};

// The share done, in per cent, on the dialog's bar.
static void showShare(QProgressDialog *dialog, int percent)
{
    if (dialog)
        BackgroundWork::showValue(*dialog, percent);
}

static int shareOf(const BackgroundWork::Progress &progress)
{
    const qint64 total = progress.total.load();
    return total > 0 ? static_cast<int>(100 * progress.done.load() / total) : 0;
}

DataPanel::DataPanel(QMainWindow *window, Ui::MainWindow *ui)
    : QObject(window), window(window), ui(ui), table(new PointTableModel(window)),
      undoStack(new QUndoStack(this)),
      fileWork(new BackgroundWork(window, QStringLiteral("FileProgress")))
{
    table->setUndoStack(undoStack);
    connect(undoStack, &QUndoStack::canUndoChanged, ui->actionUndo, &QAction::setEnabled);
    connect(undoStack, &QUndoStack::canRedoChanged, ui->actionRedo, &QAction::setEnabled);
    connect(undoStack, &QUndoStack::indexChanged, this, &DataPanel::queueTableReport);
    connect(table, &PointTableModel::undoStepsDropped, this, &DataPanel::undoStepsDropped);
    ui->twData->setModel(table);
    auto *delegate = new qDoubleDelegate(window);
    connect(delegate, &qDoubleDelegate::textRefused, this, [this](const QString &message) {
        refusedText = message;
        this->ui->statusBar->showMessage(message);
    });
    ui->twData->setItemDelegate(delegate);
    // The three columns share the panel's width, so X, Y and dY stay in view together.
    ui->twData->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Numbers read the same everywhere in the window, whatever the desktop's language: with a
    // point as decimal separator, as the cell editor takes them and the files hold them.
    ui->twData->setLocale(NumberText::locale());
    connect(fileWork, &BackgroundWork::dialogShown, this, &DataPanel::fileWorkShown);
    connect(fileWork, &BackgroundWork::finished, this, &DataPanel::fileWorkEnded);
}

// The file work goes first: a file still being read or written is cancelled and awaited while
// the panel it reports to is still there.
DataPanel::~DataPanel()
{
    delete fileWork;
}

void DataPanel::setFileDialogDelay(int milliseconds)
{
    fileWork->setDialogDelay(milliseconds);
}

void DataPanel::setUndoBudget(std::size_t bytes)
{
    table->setUndoBudget(bytes);
}

QVector<double> DataPanel::columnValues(int column) const
{
    return table->column(column);
}

void DataPanel::addPoint(double x, double y, double delta)
{
    table->appendPoints({DataPoint{x, y, delta}}, tr("Add Point"));
}

void DataPanel::addSweepPoint(double x, double y, double delta, quint64 sweep)
{
    table->push(
        new SweepPointsCommand(table, {DataPoint{x, y, delta}}, sweep, tr("sweep of %1 points")));
}

bool DataPanel::tableSaved() const
{
    return table->state() == savedState;
}

// Queued, so that the note follows the message of the operation that made the step (a run's
// point says "Point added" only after the point is in the table); several steps of one
// operation give one note.
void DataPanel::queueTableReport()
{
    if (tableReportQueued)
        return;
    tableReportQueued = true;
    QMetaObject::invokeMethod(this, &DataPanel::reportTableChange, Qt::QueuedConnection);
}

void DataPanel::reportTableChange()
{
    tableReportQueued = false;
    QStatusBar *status = ui->statusBar;
    if (!refusedText.isEmpty() && status->currentMessage() == refusedText)
        status->clearMessage();
    refusedText.clear();
    QStringList notes;
    const QString outside = calibration ? calibration->newExtrapolationNote() : QString();
    if (!outside.isEmpty())
        notes << outside;
    if (!undoNote.isEmpty())
        notes << undoNote;
    undoNote.clear();
    if (notes.isEmpty())
        return;
    const QString current = status->currentMessage();
    if (!current.isEmpty())
        notes.prepend(current);
    status->showMessage(notes.join(QStringLiteral("; ")));
}

void DataPanel::undoStepsDropped(int count, const QString &newestText)
{
    const qint64 megabytes = static_cast<qint64>(table->undoBudgetBytes() >> 20);
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

// One step to undo; the columns and their labels stay.
void DataPanel::clear()
{
    showDeletedRows(table->clearPoints());
    emit refreshGraph();
}

// The selection is turned into row marks and let go before the rows go (the model's reset
// would otherwise invalidate each of its ranges one by one); the marked rows go in one step,
// which is one step to undo. The view stays where it was.
void DataPanel::deleteSelection()
{
    QTableView *view = ui->twData;
    const std::vector<bool> selected = selectedRows();
    view->selectionModel()->clear();
    const int scroll = view->verticalScrollBar()->value();
    const int deleted = table->deleteRows(selected);
    view->verticalScrollBar()->setValue(scroll);
    showDeletedRows(deleted);
    emit refreshGraph();
}

// One mark per row: whether any of its cells is selected.
std::vector<bool> DataPanel::selectedRows() const
{
    std::vector<bool> selected(static_cast<size_t>(table->rowCount()), false);
    for (const QItemSelectionRange &range : ui->twData->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            selected[static_cast<size_t>(row)] = true;
    }
    return selected;
}

// The selection stays, so that the same keys take the rows back.
void DataPanel::leaveOutSelection()
{
    const int before = table->leftOutCount();
    const int count = table->toggleLeftOut(selectedRows());
    if (count == 0) {
        ui->statusBar->showMessage(tr("Select the rows to leave out of the fit"));
        return;
    }
    const int now = table->leftOutCount();
    ui->statusBar->showMessage((now > before
                                    ? tr("Left %1 rows out of the fit (Ctrl+Z to undo)")
                                    : tr("Took %1 rows back into the fit (Ctrl+Z to undo)"))
                                   .arg(count));
    emit refreshGraph();
}

void DataPanel::showDeletedRows(int count)
{
    if (count > 0)
        ui->statusBar->showMessage(tr("Deleted %1 rows (Ctrl+Z to undo)").arg(count));
}

// Each step back or forward redraws the points once and names the step.
void DataPanel::undo()
{
    if (undoStack->canUndo()) {
        const QString text = undoStack->undoText();
        undoStack->undo();
        ui->statusBar->showMessage(tr("Undone: %1").arg(text));
    }
    emit refreshGraph();
}

void DataPanel::redo()
{
    if (undoStack->canRedo()) {
        const QString text = undoStack->redoText();
        undoStack->redo();
        ui->statusBar->showMessage(tr("Redone: %1").arg(text));
    }
    emit refreshGraph();
}

// Every opening starts from a fresh dialog with all three fields at "0".
void DataPanel::addPointFromDialog()
{
    AddPointDialog dialog(window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const double delta = dialog.getDelta();
    const double y = dialog.getY();
    const double x = dialog.getX();
    addPoint(x, y, delta);
    emit refreshGraph();
    ui->statusBar->showMessage(tr("Point added: X = %1; Y = %2; dY = %3")
                                   .arg(QString::number(x, 'g', 6), QString::number(y, 'g', 6),
                                        QString::number(delta, 'g', 6)));
}

// The menu holds the Data menu's own actions.
void DataPanel::showContextMenu()
{
    QMenu menu;
    menu.addAction(ui->actionAddPoint);
    menu.addAction(ui->actionDelete_Selection);
    menu.addAction(ui->actionLeaveOutOfFit);
    menu.addAction(ui->actionClear);
    menu.exec(QCursor::pos());
}

// The file's points are appended after the rows already there; the graph is refreshed
// whatever happened, also after a cancelled dialog. Nothing starts while a file is being read
// or written.
void DataPanel::openData()
{
    if (fileWork->isRunning())
        return;
    const QString fileName =
        QFileDialog::getOpenFileName(window, tr("Open File..."), QString(), tr("Data (*.txt)"));
    if (!fileName.isEmpty() && !refuseIrregularFile(fileName))
        openDataFile(fileName);
    else
        openEnded();
}

// The graph shows the table once the file work has ended.
void DataPanel::openEnded()
{
    emit refreshGraph();
#ifdef __GLIBC__
    // Reading and drawing a big file leave free memory in the heap; it goes back to the system.
    if (table->rowCount() > 100000)
        malloc_trim(0);
#endif
}

// Reads the file in one pass beside the window and appends its points as one step to undo
// once it has been read (readEnded).
void DataPanel::openDataFile(const QString &fileName)
{
    auto job = std::make_shared<ReadJob>();
    job->fileName = fileName;
    const bool started = startFileWork(
        tr("Reading %1…").arg(fileName),
        [job](BackgroundWork::Progress &progress) {
            QFile file(job->fileName);
            if (!file.open(QIODevice::ReadOnly)) {
                job->openError = file.errorString();
                return true;
            }
            progress.total = file.size();
            DataFileReader::Control control;
            control.progress = [&progress](qint64 done) { progress.done = done; };
            control.cancel = &progress.cancel;
            job->outcome = DataFileReader::readData(file, &job->points, &job->counts, &control);
            job->readError = file.errorString();
            return job->outcome != DataFileReader::Cancelled;
        },
        [this, job] { readEnded(*job); });
    if (!started) {
        job->openError = tr("no worker thread could be started");
        readEnded(*job);
    }
}

// A file that cannot be read to its end, a read cancelled or running out of memory adds
// nothing, and the status bar says so; the graph is refreshed whatever happened.
void DataPanel::readEnded(ReadJob &job)
{
    ui->statusBar->showMessage(takeRead(job));
    openEnded();
}

// Appends the points read as one step to undo and says what the file gave: how many points,
// and how many lines held no point, dY fields no number or more than three fields; or why
// nothing was added. Points read into what is an empty table once the file is read are the
// file's and need no saving.
QString DataPanel::takeRead(ReadJob &job)
{
    const QString &fileName = job.fileName;
    if (!job.openError.isEmpty())
        return tr("Could not open %1: %2").arg(fileName, job.openError);
    const QString noMemory = tr("Could not read %1: its points do not fit into memory");
    switch (job.outcome) {
    case DataFileReader::ReadError:
        return tr("Could not read %1: %2").arg(fileName, job.readError);
    case DataFileReader::OutOfMemory:
        return noMemory.arg(fileName);
    case DataFileReader::Cancelled:
        return tr("Open Data cancelled: nothing was read from %1").arg(fileName);
    case DataFileReader::Complete:
        break;
    }
    const bool intoEmptyTable = table->rowCount() == 0;
    lastFile = QFileInfo(fileName).absoluteFilePath();
    const int read = static_cast<int>(job.points.size());
    try {
        table->reserveRows(job.points.size());
    } catch (const std::bad_alloc &) {
        return noMemory.arg(fileName);
    }
    if (read > 0)
        table->push(new ReadFileCommand(table, std::move(job.points), fileName, tr("Open Data")));
    if (intoEmptyTable)
        savedState = table->state();
    QString text = tr("Read %1 points from %2").arg(read).arg(fileName);
    if (job.counts.skippedLines > 0)
        text += tr("; skipped %1 lines without numbers").arg(job.counts.skippedLines);
    if (job.counts.unreadableDy > 0)
        text += tr("; %1 dY fields were not numbers and read as 0").arg(job.counts.unreadableDy);
    if (job.counts.extraFields > 0)
        text += tr("; %1 lines had more than three fields (the rest was ignored)")
                    .arg(job.counts.extraFields);
    return text;
}

// Refuses, with a status message, a chosen path that names something other than a regular file:
// reading a pipe, a socket or a device could block the window for ever.
bool DataPanel::refuseIrregularFile(const QString &fileName)
{
    if (!isIrregularFile(fileName))
        return false;
    ui->statusBar->showMessage(tr("Could not open %1: not a regular file").arg(fileName));
    return true;
}

bool DataPanel::isIrregularFile(const QString &fileName)
{
    const FileKind::Kind kind = FileKind::of(fileName);
    return kind != FileKind::Regular && kind != FileKind::Missing;
}

// The file is written beside the window; after a moment a dialog shows how far it got and
// offers Cancel, which leaves any existing file as it was (writeEnded says how it went).
bool DataPanel::saveData(bool Correction)
{
    if (fileWork->isRunning())
        return false;
    const QString fileName = QFileDialog::getSaveFileName(
        window, tr("Save File..."), QStringLiteral("./out.txt"), tr("Data (*.txt)"));
    if (fileName.isEmpty())
        return false;
    auto job = std::make_shared<WriteJob>();
    job->fileName = fileName;
    job->Correction = Correction;
    job->corrected = Correction && calibration && calibration->correctionInUse();
    job->x = columnValues(0);
    job->y = job->corrected ? calibration->correctedYValues() : columnValues(1);
    job->dy = columnValues(2);
    job->state = table->state();
    job->leftOut = table->leftOutCount();
    const bool started = startFileWork(
        tr("Writing %1…").arg(fileName),
        [job](BackgroundWork::Progress &progress) {
            progress.total = job->x.size();
            DataFileWriter::Control control;
            control.progress = [&progress](int done) { progress.done = done; };
            control.cancel = &progress.cancel;
            job->written = DataFileWriter::write(job->fileName, job->x, job->y, job->dy,
                                                 &job->error, &control, &job->cancelled);
            return !job->cancelled;
        },
        [this, job] { writeEnded(*job); });
    if (!started) {
        job->error = tr("no worker thread could be started");
        writeEnded(*job);
    }
    return job->written && !fileWork->isRunning();
}

// A save that fails leaves any existing file as it was and says so in a warning box; one that
// works takes away the message of an earlier failure. A file that holds the table's own values
// makes the table count as saved: the table as it was when its values were taken, not any
// point that came in while they were written. A close that waited for the save goes on.
void DataPanel::writeEnded(const WriteJob &job)
{
    const bool closeWaiting = closeAfterSave;
    closeAfterSave = false;
    if (job.cancelled) {
        ui->statusBar->showMessage(tr("Save Data cancelled: %1 was not changed").arg(job.fileName));
        return;
    }
    if (!job.written) {
        showSaveFailure(tr("Could not save %1: %2").arg(job.fileName, job.error));
        return;
    }
    clearSaveFailure();
    // A file of corrected values is not where the table's points come from.
    if (!job.corrected) {
        savedState = job.state;
        lastFile = QFileInfo(job.fileName).absoluteFilePath();
    }
    QString text = tr("Saved %1 points to %2").arg(job.x.size()).arg(job.fileName);
    const QString extrapolation = job.corrected ? calibration->extrapolationText() : QString();
    if (!extrapolation.isEmpty())
        text += QStringLiteral("; ") + extrapolation;
    if (job.Correction && !job.corrected)
        text += tr("; no calibration in use: the file holds the measured values");
    // The file has three columns and no room for the mark.
    if (job.leftOut > 0)
        text += QStringLiteral("; ") +
                tr("%1 points were left out of the fit; the file holds them as ordinary points")
                    .arg(job.leftOut);
    ui->statusBar->showMessage(text);
    if (closeWaiting)
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
}

// Runs work beside the window; then comes once it has ended (before this returns, for short
// work). False when it could not start: then does not come.
bool DataPanel::startFileWork(const QString &label, const BackgroundWork::Work &work,
                              std::function<void()> then)
{
    afterFileWork = std::move(then);
    const bool started = fileWork->start(label, [this, work](BackgroundWork::Progress &progress) {
        const bool completed = work(progress);
        finalShare = shareOf(progress);
        return completed;
    });
    if (!started)
        afterFileWork = nullptr;
    return started;
}

// The bar starts at 0 and only moves forward.
void DataPanel::fileWorkShown(QProgressDialog *dialog)
{
    fileProgress = dialog;
    showShare(dialog, 0);
}

// The bar ends at the share done: full for work that ran to its end.
void DataPanel::fileWorkEnded()
{
    showShare(fileProgress, finalShare);
    fileProgress = nullptr;
    const std::function<void()> then = std::move(afterFileWork);
    afterFileWork = nullptr;
    if (then)
        then();
}

// A failure is shown in a warning box, which waits to be read, and stays in the status bar
// until something replaces it or a later save works.
void DataPanel::showSaveFailure(const QString &message)
{
    saveFailure = message;
    ui->statusBar->showMessage(message);
    QMessageBox::warning(window, tr("Vantorel"), message);
}

void DataPanel::clearSaveFailure()
{
    if (!saveFailure.isEmpty() && ui->statusBar->currentMessage() == saveFailure)
        ui->statusBar->clearMessage();
    saveFailure.clear();
}

// Asks before points that were never saved are lost with the window: Save lets it go only when
// the file was written, Cancel and Escape keep the window. An empty table, or one that is (or
// has been undone back to) what was last saved or read into an empty table, lets it go at once.
// A point that comes in while the question or the save waits is asked about again. While a file
// is read or written the window stays.
bool DataPanel::mayClose()
{
    if (fileWork->isRunning())
        return false;
    for (;;) {
        const int rows = table->rowCount();
        if (tableSaved() || rows == 0)
            return true;
        const quint64 asked = table->state();
        QMessageBox box(QMessageBox::Warning, tr("Vantorel"),
                        tr("The table holds %1 points that have not been saved.").arg(rows),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window);
        box.setDefaultButton(QMessageBox::Save);
        box.setEscapeButton(QMessageBox::Cancel);
        const int answer = box.exec();
        if (answer == QMessageBox::Discard && table->state() == asked)
            return true;
        if (answer == QMessageBox::Save) {
            if (saveData(false))
                continue;
            closeAfterSave = fileWork->isRunning();
            return false;
        }
        if (answer != QMessageBox::Discard)
            return false;
    }
}
