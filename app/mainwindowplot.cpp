// MainWindow: the plot of the points (graph 0, blue diamonds with ±dY bars) and of the last
// fitted curve (graph 1, red line), its refresh and its export.
#include "app/mainwindow.h"

#include <QDebug>
#include <QFileDialog>
#include <QStatusBar>
#include <qcustomplot.h>

#include "app/fitreportwidget.h"
#include "plot/graphexport.h"
#include "plot/plainticks.h"
#include "plot/pointswithbars.h"
#include "ui_mainwindow.h"

void MainWindow::setupPlot()
{
    QCustomPlot *plot = ui->wPlot;
    plot->xAxis->setScaleType(QCPAxis::stLogarithmic);
    PlainTicks<QCPAxisTickerLog>::install(plot->xAxis);
    PlainTicks<QCPAxisTicker>::install(plot->yAxis);
    plot->clearGraphs();

    QCPGraph *points = PointsWithBars::add(plot);
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

    // The wheel zooms and dragging pans, in both axes; every refresh brings back the full view.
    // The residual plot of the fit report keeps the same X range.
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    connect(plot->xAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), ui->wFitReport,
            &FitReportWidget::followXRange);
}

// Replaces the plotted points by the table's (Y corrected when the calibration is switched on)
// and fits the axes exactly to the points, their bars and the fit curve: the full view.
void MainWindow::updateGraph()
{
    refreshPoints();
    ui->wPlot->replot();
}

// The points and the full view, without drawing. A curve that no longer matches the table is
// left out of the rescale, so that it never squeezes the points into a corner.
void MainWindow::refreshPoints()
{
    qDebug() << "Update graph";
    QCustomPlot *plot = ui->wPlot;
    PointsWithBars::set(plot->graph(0), columnValues(0), correctedYValues(), columnValues(2));
    QCPGraph *curve = plot->graph(1);
    curve->setVisible(!fitOutOfDate);
    plot->rescaleAxes(true);
    curve->setVisible(true);
    pointsCurrent = true;
    fullView = {plot->xAxis->range().lower, plot->xAxis->range().upper, plot->yAxis->range().lower,
                plot->yAxis->range().upper};
}

bool MainWindow::pointsInFullView() const
{
    const QCustomPlot *plot = ui->wPlot;
    return pointsCurrent &&
           fullView == QVector<double>({plot->xAxis->range().lower, plot->xAxis->range().upper,
                                        plot->yAxis->range().lower, plot->yAxis->range().upper});
}

// A curve that no longer matches the table is drawn dashed until the next Calculate.
void MainWindow::setFitOutOfDate(bool outOfDate)
{
    if (fitOutOfDate == outOfDate)
        return;
    fitOutOfDate = outOfDate;
    QCPGraph *curve = ui->wPlot->graph(1);
    curve->setPen(QPen(QBrush(Qt::red), 1, outOfDate ? Qt::DashLine : Qt::SolidLine));
    ui->wFitReport->setOutOfDate(outOfDate);
    curve->layer()->replot();
}

// The export format follows the extension of the chosen name (the last piece after a dot,
// any letter case); the filter chosen in the dialog plays no part. A name the plot cannot be
// exported under, and an export that fails, are reported in a warning box.
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
        showSaveFailure(tr("Could not save graph %1: %2").arg(fileName, error));
        return;
    }
    clearSaveFailure();
}
