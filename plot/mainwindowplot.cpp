// MainWindow: the plot of the points (graph 0, blue diamonds with ±dY bars) and of the last
// fitted curve (graph 1, red line), its refresh and its export.
#include "app/mainwindow.h"

#include <QDebug>
#include <QFileDialog>
#include <qcustomplot.h>

#include <cmath>

#include "ui_mainwindow.h"

// The ±dY bars of graph 0 are a plottable of their own, attached to the graph.
static QCPErrorBars *pointErrorBars(QCustomPlot *plot)
{
    for (int i = 0; i < plot->plottableCount(); ++i) {
        if (auto *bars = qobject_cast<QCPErrorBars *>(plot->plottable(i)))
            return bars;
    }
    return nullptr;
}

// Widens the ranges that the rescale fitted tightly to the data by 5 % of their span on each
// side (in decades on the logarithmic X axis), so that the outermost points and their bars are
// not cut in half by the frame of the plot.
static void addRangeMargins(QCustomPlot *plot)
{
    const QCPRange x = plot->xAxis->range();
    if (x.lower > 0 && x.upper > x.lower) {
        const double factor = std::pow(x.upper / x.lower, 0.05);
        plot->xAxis->setRange(x.lower / factor, x.upper * factor);
    }
    const QCPRange y = plot->yAxis->range();
    const double margin = 0.05 * y.size();
    plot->yAxis->setRange(y.lower - margin, y.upper + margin);
}

void MainWindow::setupPlot()
{
    QCustomPlot *plot = ui->wPlot;
    plot->xAxis->setScaleType(QCPAxis::stLogarithmic);
    plot->xAxis->setTicker(QSharedPointer<QCPAxisTickerLog>(new QCPAxisTickerLog));
    plot->clearGraphs();

    QCPGraph *points = plot->addGraph();
    points->setLineStyle(QCPGraph::lsNone);
    points->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDiamond, Qt::blue, Qt::white, 5));
    auto *bars = new QCPErrorBars(plot->xAxis, plot->yAxis);
    bars->setErrorType(QCPErrorBars::etValueError);
    bars->setDataPlottable(points);
    points->setPen(QPen(Qt::blue));

    QCPGraph *curve = plot->addGraph();
    curve->setPen(QPen(Qt::red));
}

void MainWindow::updateGraph()
{
    qDebug() << "Update graph";
    QCustomPlot *plot = ui->wPlot;
    QCPGraph *points = plot->graph(0);
    QCPErrorBars *bars = pointErrorBars(plot);
    points->data()->clear();
    bars->data()->clear();

    const QVector<double> x = columnValues(0);
    const QVector<double> y = correctedYValues();
    const QVector<double> dy = columnValues(2);
    const int n = std::min({x.size(), y.size(), dy.size()});
    points->setData(x.mid(0, n), y.mid(0, n));
    bars->setData(dy.mid(0, n));

    plot->rescaleAxes(false);
    if (n > 0 || plot->graph(1)->dataCount() > 0)
        addRangeMargins(plot);
    plot->replot();
}

// The export format follows the extension of the chosen name (the last piece after a dot,
// any letter case); the filter chosen in the dialog plays no part.
void MainWindow::on_actionSaveGraph_triggered()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save Graph..."), QStringLiteral("./out_graph.jpg"),
        QStringLiteral("JPEG (*.jpg);;PDF (*.pdf);;PNG (*.png);; BMP (*.bmp)"));
    const QString extension = fileName.split(QLatin1Char('.')).last().toLower();
    QCustomPlot *plot = ui->wPlot;
    if (extension == QLatin1String("jpg"))
        plot->saveJpg(fileName, 0, 0, 1.0, -1);
    if (extension == QLatin1String("pdf"))
        plot->savePdf(fileName, 0, 0, QCP::epAllowCosmetic, QString(), QString());
    if (extension == QLatin1String("png"))
        plot->savePng(fileName, 0, 0, 1.0, -1);
    if (extension == QLatin1String("bmp"))
        plot->saveBmp(fileName, 0, 0, 1.0);
}
