#include "app/graphview.h"

#include <QClipboard>
#include <QDebug>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <qcustomplot.h>

#include <algorithm>

#include "app/exportgraphdialog.h"
#include "app/fitreportwidget.h"
#include "app/graphtitlesdialog.h"
#include "app/pointsource.h"
#include "plot/graphexport.h"
#include "plot/legendcorner.h"
#include "plot/plainticks.h"
#include "plot/pointswithbars.h"

#include <cmath>

GraphView::GraphView(QCustomPlot *plot, FitReportWidget *report, const PointSource *points,
                     QObject *parent)
    : QObject(parent), plot(plot), report(report), points(points)
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

    // Points left out of the fit: an empty grey circle over each one's own diamond (graph 0
    // keeps every row), which hides the diamond and the middle of its bar.
    leftOut = plot->addGraph();
    leftOut->setName(QStringLiteral("left out of the fit"));
    leftOut->setLineStyle(QCPGraph::lsNone);
    leftOut->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(Qt::darkGray, 1.5), QBrush(Qt::white), 9));

    // The shades reach from the range's ends to the edges of the axis rectangle, behind the
    // points; an end beyond the view puts its shade outside the rectangle, where it is clipped.
    for (QCPItemRect **shade : {&shadeBelow, &shadeAbove}) {
        *shade = new QCPItemRect(plot);
        (*shade)->setLayer(QStringLiteral("grid"));
        (*shade)->setPen(Qt::NoPen);
        (*shade)->setBrush(QColor(0, 0, 0, 28));
        for (QCPItemPosition *corner : {(*shade)->topLeft, (*shade)->bottomRight})
            corner->setType(QCPItemPosition::ptAxisRectRatio);
        (*shade)->topLeft->setCoords(0, 0);
        (*shade)->bottomRight->setCoords(1, 1);
        (*shade)->setVisible(false);
    }
    shadeBelow->bottomRight->setTypeX(QCPItemPosition::ptPlotCoords);
    shadeAbove->topLeft->setTypeX(QCPItemPosition::ptPlotCoords);

    // The wheel zooms and dragging pans, in both axes; every refresh brings back the full view.
    // The residual plot of the fit report keeps the same X range.
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    connect(plot->xAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), report,
            &FitReportWidget::followXRange);

    // The legend names the points, and the fit once there is one; the error bars belong to the
    // points and have no entry of their own.
    plot->legend->clearItems();
    pointGraph->setName(tr("Measured points"));
    pointGraph->addToLegend();
    plot->legend->setVisible(false);
    connect(report, &FitReportWidget::fitShown, this, &GraphView::fitShown);
    connect(plot, &QCustomPlot::beforeReplot, this, [plot] { LegendCorner::place(plot); });

    // Double-clicking an axis of either plot, or its title, edits the title.
    const auto onAxis = [this](QCPAxis *axis) { editAxisTitle(axis); };
    connect(plot, &QCustomPlot::axisDoubleClick, this, onAxis);
    connect(report->residualPlot(), &QCustomPlot::axisDoubleClick, this, onAxis);
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
    const QVector<double> x = points->columnValues(0);
    const QVector<double> y = points->correctedYValues();
    PointsWithBars::set(plot->graph(0), x, y, points->columnValues(2));
    const QVector<bool> marks = points->leftOutRows();
    QVector<double> leftOutX;
    QVector<double> leftOutY;
    for (int row = 0; row < marks.size() && row < x.size() && row < y.size(); ++row) {
        if (marks[row]) {
            leftOutX.append(x[row]);
            leftOutY.append(y[row]);
        }
    }
    leftOut->setData(leftOutX, leftOutY);
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
    nameCurve();
    if (plot->legend->visible() && !fitName.isEmpty())
        plot->replot();
    else
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

// The plot is drawn anew only when the shaded range changes.
void GraphView::setFitRange(double from, double to)
{
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    if (same(from, shownFrom) && same(to, shownTo))
        return;
    shownFrom = from;
    shownTo = to;
    shadeBelow->setVisible(!std::isnan(from));
    shadeAbove->setVisible(!std::isnan(to));
    if (!std::isnan(from))
        shadeBelow->bottomRight->setCoords(from, 1);
    if (!std::isnan(to))
        shadeAbove->topLeft->setCoords(to, 0);
    plot->replot();
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
        QStringLiteral("JPEG (*.jpg);;PDF (*.pdf);;PNG (*.png);; BMP (*.bmp);;SVG (*.svg)"));
    if (fileName.isEmpty())
        return Export::Cancelled;
    const QString extension = fileName.split(QLatin1Char('.')).last().toLower();
    const GraphExport::Format format = GraphExport::formatOf(extension);
    if (format == GraphExport::Unknown) {
        *failure = tr("Could not save graph %1: use the extension .jpg, .png, .bmp, .pdf or .svg")
                       .arg(fileName);
        return Export::Failed;
    }
    QString error;
    if (!GraphExport::save(plot, fileName, format, &error)) {
        *failure = tr("Could not save graph %1: %2").arg(fileName, error);
        return Export::Failed;
    }
    return Export::Saved;
}

bool GraphView::exportWithDialog(QWidget *parent)
{
    ExportGraphDialog dialog(plot, report->residualPlot(), parent);
    return dialog.exec() == QDialog::Accepted;
}

// The image knows its pixel ratio, so that a program that reads it pastes it at the plot's size
// on the screen, drawn twice as sharp.
void GraphView::copyGraph()
{
    GraphExport::Page page = GraphExport::screenPage(plot);
    page.dpi *= 2;
    QImage image = GraphExport::image(plot, page);
    if (image.isNull())
        return;
    image.setDevicePixelRatio(2);
    QGuiApplication::clipboard()->setImage(image);
}

// The title above the plot has a layout row of its own only while there is one, so that a plot
// without a title looks as it always did.
void GraphView::setTitles(const QString &titleX, const QString &titleY, const QString &titlePlot)
{
    plot->xAxis->setLabel(titleX);
    plot->yAxis->setLabel(titleY);
    report->setAxisTitles(titleX, titleY);
    if (titlePlot.isEmpty() && title) {
        plot->plotLayout()->remove(title);
        plot->plotLayout()->simplify();
        title = nullptr;
    } else if (!titlePlot.isEmpty() && !title) {
        QFont font = plot->font();
        font.setPointSizeF(font.pointSizeF() * 1.2);
        font.setBold(true);
        title = new QCPTextElement(plot, titlePlot, font);
        title->setObjectName(QStringLiteral("plotTitle"));
        plot->plotLayout()->insertRow(0);
        plot->plotLayout()->addElement(0, 0, title);
    } else if (title) {
        title->setText(titlePlot);
    }
    plot->replot();
}

QString GraphView::titleX() const
{
    return plot->xAxis->label();
}

QString GraphView::titleY() const
{
    return plot->yAxis->label();
}

QString GraphView::titlePlot() const
{
    return title ? title->text() : QString();
}

void GraphView::editTitles(QWidget *parent)
{
    GraphTitlesDialog dialog(titleX(), titleY(), titlePlot(), parent);
    if (dialog.exec() == QDialog::Accepted)
        setTitles(dialog.titleX(), dialog.titleY(), dialog.titlePlot());
}

// An axis of the residual plot edits the title it follows: its X axis the X title, its Y axis
// the Y title.
void GraphView::editAxisTitle(QCPAxis *axis)
{
    const bool isX = axis->orientation() == Qt::Horizontal;
    bool ok = false;
    const QString text =
        QInputDialog::getText(plot->window(), isX ? tr("X Axis Title") : tr("Y Axis Title"),
                              isX ? tr("Title of the X axis (empty for none):")
                                  : tr("Title of the Y axis (empty for none):"),
                              QLineEdit::Normal, isX ? titleX() : titleY(), &ok);
    if (!ok)
        return;
    if (isX)
        setTitles(text.trimmed(), titleY(), titlePlot());
    else
        setTitles(titleX(), text.trimmed(), titlePlot());
}

void GraphView::setLegendVisible(bool visible)
{
    plot->legend->setVisible(visible);
    plot->replot();
}

// The fit's entry: the method, and A and Fc with their standard errors in the digits of the
// report, a line each, so that the legend stays narrow.
void GraphView::fitShown(const QString &methodName, const QString &A, const QString &Fc)
{
    fitName = tr("Fit: %1\nA = %2\nFc = %3").arg(methodName, A, Fc);
    QCPGraph *curve = plot->graph(1);
    if (!plot->legend->hasItemWithPlottable(curve))
        curve->addToLegend();
    nameCurve();
}

// A fit that no longer matches the table says so, as the report does.
void GraphView::nameCurve()
{
    if (fitName.isEmpty())
        return;
    QString name = fitName;
    if (curveOutOfDate)
        name.insert(name.indexOf(QLatin1Char('\n')), tr(" (table changed since)"));
    plot->graph(1)->setName(name);
}
