// MainWindow: the table of points and everything that reads or writes it.
#include "app/mainwindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QStatusBar>

#include <algorithm>

#include "data/addpointdialog.h"
#include "data/calibration.h"
#include "data/datafilereader.h"
#include "data/datafilewriter.h"
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

// Rows go in descending order so that the row numbers still to be removed stay valid.
void MainWindow::on_actionDelete_Selection_triggered()
{
    QList<int> rows;
    for (const QModelIndex &index : ui->twData->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows)
        model->removeRows(row, 1, QModelIndex());
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
    if (!fileName.isEmpty()) {
        QFile file(fileName);
        if (file.open(QIODevice::ReadOnly)) {
            const bool intoEmptyTable = model->rowCount() == 0;
            int skipped = 0;
            const QVector<DataFileReader::Point> points = DataFileReader::readData(file, &skipped);
            for (const DataFileReader::Point &point : points)
                addPoint(point.x, point.y, point.delta);
            file.close();
            if (intoEmptyTable)
                unsavedPoints = false;
            if (skipped > 0)
                statusBar()->showMessage(
                    tr("Read %1 points from %2; skipped %3 lines without numbers")
                        .arg(points.size())
                        .arg(fileName)
                        .arg(skipped));
        }
    }
    updateGraph();
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
    calibration.resize(0);
    ui->leCalibrationFile->clear();
    if (!fileName.isEmpty()) {
        QFile file(fileName);
        if (file.open(QIODevice::ReadOnly)) {
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
// it was saved or read into an empty table, closes at once.
void MainWindow::closeEvent(QCloseEvent *event)
{
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
