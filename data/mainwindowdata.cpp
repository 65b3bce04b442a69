// MainWindow: the table of points and everything that reads or writes it.
#include "app/mainwindow.h"

#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QStandardItemModel>

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
    if (!ui->cbUseCalibration->isChecked() || calibration.isEmpty())
        return y;
    return Calibration::corrected(calibration, columnValues(0), y);
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
// whatever happened, also after a cancelled dialog.
void MainWindow::on_actionOpen_triggered()
{
    const QString fileName =
        QFileDialog::getOpenFileName(this, tr("Open File..."), QString(), tr("Data (*.txt)"));
    if (!fileName.isEmpty()) {
        QFile file(fileName);
        if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            for (const DataFileReader::Point &point : DataFileReader::readData(file))
                addPoint(point.x, point.y, point.delta);
            file.close();
        }
    }
    updateGraph();
}

// Writes the table, with the calibration-corrected Y when Correction is true. A save that
// fails leaves any existing file as it was and says so in the status bar; one that works is
// silent.
void MainWindow::saveData(bool Correction)
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save File..."), QStringLiteral("./out.txt"), tr("Data (*.txt)"));
    if (fileName.isEmpty())
        return;
    const QVector<double> x = columnValues(0);
    const QVector<double> y = Correction ? correctedYValues() : columnValues(1);
    const QVector<double> dy = columnValues(2);
    QString error;
    if (!DataFileWriter::write(fileName, x, y, dy, &error))
        ui->statusBar->showMessage(tr("Could not save %1: %2").arg(fileName, error));
}

// The old calibration is gone as soon as the dialog returns, whatever the user chose; the
// file name shown changes only when a file was read.
void MainWindow::on_tbOpenCalibration_clicked()
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Open Calibrations..."),
                                                          QString(), tr("TXT files (*.txt)"));
    calibration.resize(0);
    if (!fileName.isEmpty()) {
        QFile file(fileName);
        if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            calibration = DataFileReader::readCalibration(file);
            file.close();
            Calibration::sortByX(calibration);
            ui->leCalibrationFile->setText(fileName);
            qDebug() << "Calibration loaded. N points:" << calibration.size();
        }
    }
    updateGraph();
}
