// MainWindow: the table of points and everything that reads or writes it.
#include "app/mainwindow.h"

#include <QItemSelectionModel>
#include <QStandardItemModel>

#include <algorithm>

#include "ui_mainwindow.h"

void MainWindow::setupModel()
{
    model->setColumnCount(3);
    model->setRowCount(0);
    model->setHorizontalHeaderLabels({QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("dY")});
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

QVector<double> MainWindow::correctedYValues() const
{
    return columnValues(1);
}

void MainWindow::on_actionAddPoint_triggered() {}

void MainWindow::on_actionOpen_triggered() {}

void MainWindow::saveData(bool Correction)
{
    Q_UNUSED(Correction);
}

void MainWindow::on_tbOpenCalibration_clicked() {}
