#include "app/graphview.h"

#include <QDebug>
#include <QFileDialog>
#include <qcustomplot.h>

#include "app/fitreportwidget.h"
#include "app/pointsource.h"
#include "plot/graphexport.h"
#include "plot/plainticks.h"
#include "plot/pointswithbars.h"

GraphView::GraphView(QCustomPlot *plot, FitReportWidget *report, const PointSource *points,
                     QObject *parent)
    : QObject(parent), plot(plot), points(points)
{
    plot->xAxis->setScaleType(QCPAxis::stLogarithmic);
    PlainTicks<QCPAxisTickerLog>::install(plot->xAxis);
    PlainTicks<QCPAxisTicker>::install(plot->yAxis);
    plot->clearGraphs();

    QCPGraph *pointGraph = PointsWithBars::add(plot);
    pointGraph->setPen(QPen(Qt::blue));

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
    connect(plot->xAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), report,
            &FitReportWidget::followXRange);
}

// Fits the axes exactly to the points, their bars and the fit curve: the full view.
void GraphView::update()
{
    refreshPoints();
    plot->replot();
}

// A curve that no longer matches the table is left out of the rescale, so that it never
// squeezes the points into a corner.
void GraphView::refreshPoints()
{
    qDebug() << "Update graph";
    PointsWithBars::set(plot->graph(0), points->columnValues(0), points->correctedYValues(),
                        points->columnValues(2));
    QCPGraph *curve = plot->graph(1);
    curve->setVisible(!curveOutOfDate);
    plot->rescaleAxes(true);
    curve->setVisible(true);
    pointsCurrent = true;
    fullView = {plot->xAxis->range().lower, plot->xAxis->range().upper, plot->yAxis->range().lower,
                plot->yAxis->range().upper};
}

bool GraphView::pointsInFullView() const
{
    return pointsCurrent &&
           fullView == QVector<double>({plot->xAxis->range().lower, plot->xAxis->range().upper,
                                        plot->yAxis->range().lower, plot->yAxis->range().upper});
}

void GraphView::setCurveOutOfDate(bool outOfDate)
{
    if (curveOutOfDate == outOfDate)
        return;
    curveOutOfDate = outOfDate;
    QCPGraph *curve = plot->graph(1);
    curve->setPen(QPen(QBrush(Qt::red), 1, outOfDate ? Qt::DashLine : Qt::SolidLine));
    curve->layer()->replot();
}

// The curve on screen is the new fit's whatever the curve before it was: its own buffer is
// drawn anew even when nothing but its data changed.
void GraphView::showCurve(const QVector<double> &keys, const QVector<double> &values,
                          bool pointsShown)
{
    plot->graph(1)->setData(keys, values);
    if (pointsShown) {
        plot->graph(1)->layer()->replot();
    } else {
        plot->rescaleAxes(false);
        plot->replot();
    }
}

double GraphView::xLower() const
{
    return plot->xAxis->range().lower;
}

double GraphView::xUpper() const
{
    return plot->xAxis->range().upper;
}

// The export format follows the extension of the chosen name (the last piece after a dot,
// any letter case); the filter chosen in the dialog plays no part.
GraphView::Export GraphView::exportGraph(QWidget *parent, QString *failure)
{
    const QString fileName = QFileDialog::getSaveFileName(
        parent, tr("Save Graph..."), QStringLiteral("./out_graph.jpg"),
        QStringLiteral("JPEG (*.jpg);;PDF (*.pdf);;PNG (*.png);; BMP (*.bmp)"));
    if (fileName.isEmpty())
        return Export::Cancelled;
    const QString extension = fileName.split(QLatin1Char('.')).last().toLower();
    const GraphExport::Format format = GraphExport::formatOf(extension);
    if (format == GraphExport::Unknown) {
        *failure =
            tr("Could not save graph %1: use the extension .jpg, .png, .bmp or .pdf").arg(fileName);
        return Export::Failed;
    }
    QString error;
    if (!GraphExport::save(plot, fileName, format, &error)) {
        *failure = tr("Could not save graph %1: %2").arg(fileName, error);
        return Export::Failed;
    }
    return Export::Saved;
}
