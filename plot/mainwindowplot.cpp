// MainWindow: the plot of the points (graph 0, blue diamonds with ±dY bars) and of the last
// fitted curve (graph 1, red line), its refresh and its export.
#include "app/mainwindow.h"

#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QStatusBar>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "plot/graphexport.h"
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
    // The curve is drawn into a buffer of its own, so that a new fit redraws the curve alone
    // and not every one of perhaps a hundred thousand points with their bars.
    plot->addLayer(QStringLiteral("curve"), plot->layer(QStringLiteral("main")),
                   QCustomPlot::limAbove);
    QCPLayer *curveLayer = plot->layer(QStringLiteral("curve"));
    curveLayer->setMode(QCPLayer::lmBuffered);
    curve->setLayer(curveLayer);
}

// The graph keeps its points sorted by X, and the bars belong to the points by position in
// that order: so points and bars are handed over sorted together, each bar with its own row.
// A row whose X is not a number goes last.
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
    QVector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&x](int a, int b) {
        return x[a] < x[b] || (std::isnan(x[b]) && !std::isnan(x[a]));
    });
    QVector<double> keys(n);
    QVector<double> values(n);
    QVector<double> errors(n);
    for (int i = 0; i < n; ++i) {
        keys[i] = x[order[i]];
        values[i] = y[order[i]];
        errors[i] = dy[order[i]];
    }
    points->setData(keys, values, true);
    bars->setData(errors);

    plot->rescaleAxes(false);
    plot->replot();
}

// The export format follows the extension of the chosen name (the last piece after a dot,
// any letter case); the filter chosen in the dialog plays no part. A name the plot cannot be
// exported under, and an export that fails, are reported in the status bar.
void MainWindow::on_actionSaveGraph_triggered()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save Graph..."), QStringLiteral("./out_graph.jpg"),
        QStringLiteral("JPEG (*.jpg);;PDF (*.pdf);;PNG (*.png);; BMP (*.bmp)"));
    if (fileName.isEmpty())
        return;
    const QString extension = fileName.split(QLatin1Char('.')).last().toLower();
    const GraphExport::Format format = GraphExport::formatOf(extension);
    if (format == GraphExport::Unknown) {
        showSaveFailure(tr("Could not save graph %1: use the extension .jpg, .png, .bmp or .pdf")
                            .arg(fileName));
        return;
    }
    QString error;
    if (!GraphExport::save(ui->wPlot, fileName, format, &error)) {
        showSaveFailure(error.isEmpty() ? tr("Could not save graph %1").arg(fileName)
                                        : tr("Could not save graph %1: %2").arg(fileName, error));
        return;
    }
    clearSaveFailure();
}
