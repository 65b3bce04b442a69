// MainWindow: the table of points and everything that reads or writes it.
#include "app/mainwindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>

#include <algorithm>
#include <vector>

#include "app/fitrunner.h"
#include "data/addpointdialog.h"
#include "data/calibration.h"
#include "data/datafilereader.h"
#include "data/datafilewriter.h"
#include "data/filekind.h"
#include "ui_mainwindow.h"

void MainWindow::setupModel()
{
    model->setColumnCount(3);
    model->setRowCount(0);
    model->setHorizontalHeaderLabels(
        {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("dY")});
}

void MainWindow::addPoint(double x, double y, double delta)
{
    QList<QStandardItem *> row;
    for (double value : {x, y, delta}) {
        auto *item = new QStandardItem;
        item->setData(value, Qt::DisplayRole);
        row.append(item);
    }
    model->appendRow(row);
}

// Every value passes through single precision on its way out of the table, so all consumers
// (plot, fit, files) see the same numbers whether a cell was appended or edited.
QVector<double> MainWindow::columnValues(int column) const
{
    QVector<double> values;
    const int rows = model->rowCount();
    values.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        const QStandardItem *item = model->item(row, column);
        const float value = item ? item->data(Qt::DisplayRole).toFloat() : 0.0f;
        values.append(static_cast<double>(value));
    }
    return values;
}

// Clearing also drops the columns and header labels, so they are set up again: the table
// looks the same as at start-up.
void MainWindow::on_actionClear_triggered()
{
    model->clear();
    setupModel();
    updateGraph();
}

// The selected rows go as contiguous blocks, the last block first, so that the row numbers
// still to be removed stay valid; one removal per block keeps the model's work linear in the
// number of rows however the selection is made up. The selection is turned into row marks and
// let go first: its ranges hold persistent indexes, which every removal would adjust. The view
// lays its row header out anew after every removal, so for more than one block it is given the
// model back only once all blocks are gone, scrolled to where it was.
void MainWindow::on_actionDelete_Selection_triggered()
{
    QTableView *view = ui->twData;
    std::vector<bool> selected(static_cast<size_t>(model->rowCount()), false);
    for (const QItemSelectionRange &range : view->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            selected[static_cast<size_t>(row)] = true;
    }
    view->selectionModel()->clear();

    QVector<QPair<int, int>> blocks;
    for (int end = model->rowCount(); end > 0;) {
        if (!selected[static_cast<size_t>(end - 1)]) {
            --end;
            continue;
        }
        int start = end - 1;
        while (start > 0 && selected[static_cast<size_t>(start - 1)])
            --start;
        blocks.append({start, end - start});
        end = start;
    }
    const bool detach = blocks.size() > 1;
    const int scroll = view->verticalScrollBar()->value();
    if (detach) {
        QItemSelectionModel *selection = view->selectionModel();
        view->setModel(nullptr);
        delete selection;
    }
    for (const QPair<int, int> &block : blocks)
        model->removeRows(block.first, block.second, QModelIndex());
    if (detach) {
        QItemSelectionModel *empty = view->selectionModel();
        view->setModel(model);
        delete empty;
        view->verticalScrollBar()->setValue(scroll);
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
}

// The file's points are appended after the rows already there; the graph is refreshed
// whatever happened, also after a cancelled dialog. Lines that hold no point are skipped, and
// the status bar says how many; a file read whole says nothing. Points read into an empty
// table are the file's and need no saving.
void MainWindow::on_actionOpen_triggered()
{
    const QString fileName =
        QFileDialog::getOpenFileName(this, tr("Open File..."), QString(), tr("Data (*.txt)"));
    QFile file(fileName);
    if (!fileName.isEmpty() && openChosenFile(file)) {
        const bool intoEmptyTable = model->rowCount() == 0;
        int skipped = 0;
        const QVector<DataFileReader::Point> points = DataFileReader::readData(file, &skipped);
        for (const DataFileReader::Point &point : points)
            addPoint(point.x, point.y, point.delta);
        file.close();
        if (intoEmptyTable)
            unsavedPoints = false;
        if (skipped > 0)
            statusBar()->showMessage(tr("Read %1 points from %2; skipped %3 lines without numbers")
                                         .arg(points.size())
                                         .arg(fileName)
                                         .arg(skipped));
    }
    updateGraph();
}

// Refuses, with a status message, a chosen path that names something other than a regular file:
// reading a pipe, a socket or a device could block the window for ever.
bool MainWindow::refuseIrregularFile(const QString &fileName)
{
    const FileKind::Kind kind = FileKind::of(fileName);
    if (kind == FileKind::Regular || kind == FileKind::Missing)
        return false;
    statusBar()->showMessage(tr("Could not open %1: not a regular file").arg(fileName));
    return true;
}

// Opens the file chosen in an open dialog for reading, or says in the status bar why not.
bool MainWindow::openChosenFile(QFile &file)
{
    if (refuseIrregularFile(file.fileName()))
        return false;
    if (!file.open(QIODevice::ReadOnly)) {
        statusBar()->showMessage(
            tr("Could not open %1: %2").arg(file.fileName(), file.errorString()));
        return false;
    }
    return true;
}

// Writes the table, with the calibration-corrected Y when Correction is true, and tells whether
// a file was written. A save that fails leaves any existing file as it was and says so in the
// status bar; one that works is silent, but takes away the message of an earlier failure. A
// file that holds the table's own values makes the table count as saved.
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
    QString error;
    if (!DataFileWriter::write(fileName, x, y, dy, &error)) {
        showSaveFailure(tr("Could not save %1: %2").arg(fileName, error));
        return false;
    }
    clearSaveFailure();
    if (!corrected)
        unsavedPoints = false;
    return true;
}

// The old calibration is gone as soon as the dialog returns, whatever the user chose; so is
// its name, and a new name is shown only when a file was read. Lines that hold no calibration
// point are skipped, and the status bar says how many.
void MainWindow::on_tbOpenCalibration_clicked()
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Open Calibrations..."),
                                                          QString(), tr("TXT files (*.txt)"));
    // What cannot be a calibration file at all is refused before the old calibration goes.
    if (!fileName.isEmpty() && refuseIrregularFile(fileName)) {
        updateGraph();
        return;
    }
    calibration.resize(0);
    ui->leCalibrationFile->clear();
    QFile file(fileName);
    if (!fileName.isEmpty() && openChosenFile(file)) {
        int skipped = 0;
        calibration = DataFileReader::readCalibration(file, &skipped);
        file.close();
        Calibration::sortByX(calibration);
        ui->leCalibrationFile->setText(fileName);
        qDebug() << "Calibration loaded. N points:" << calibration.size();
        if (skipped > 0)
            statusBar()->showMessage(
                tr("Read %1 calibration points from %2; skipped %3 lines without numbers")
                    .arg(calibration.size())
                    .arg(fileName)
                    .arg(skipped));
    }
    updateGraph();
}

void MainWindow::showSaveFailure(const QString &message)
{
    saveFailure = message;
    statusBar()->showMessage(message);
}

void MainWindow::clearSaveFailure()
{
    if (!saveFailure.isEmpty() && statusBar()->currentMessage() == saveFailure)
        statusBar()->clearMessage();
    saveFailure.clear();
}

// Asks before points that were never saved are lost with the window: Save quits only when the
// file was written, Cancel and Escape keep the window. An empty table, or one unchanged since
// it was saved or read into an empty table, closes at once. A running fit is cancelled first;
// the window closes (and asks) once it has ended.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!closeDuringMeasurement()) {
        event->ignore();
        return;
    }
    if (fitRunner->isRunning()) {
        fitRunner->cancel();
        closeAfterFit = true;
        event->ignore();
        return;
    }
    const int rows = model->rowCount();
    if (!unsavedPoints || rows == 0) {
        event->accept();
        return;
    }
    QMessageBox box(QMessageBox::Warning, tr("Vantorel"),
                    tr("The table holds %1 points that have not been saved.").arg(rows),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    if (answer == QMessageBox::Discard || (answer == QMessageBox::Save && saveData(false)))
        event->accept();
    else
        event->ignore();
}
