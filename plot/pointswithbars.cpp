#include "plot/pointswithbars.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "plot/denseerrorbars.h"

// Bars are vertical lines, which antialiasing only blurs; without it a hundred thousand of them
// draw in half the time.
QCPGraph *PointsWithBars::add(QCustomPlot *plot)
{
    QCPGraph *graph = plot->addGraph();
    graph->setLineStyle(QCPGraph::lsNone);
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDiamond, Qt::blue, Qt::white, 5));
    auto *bars = new DenseErrorBars(plot->xAxis, plot->yAxis);
    bars->setErrorType(QCPErrorBars::etValueError);
    bars->setAntialiased(false);
    bars->setDataPlottable(graph);
    return graph;
}

void PointsWithBars::set(QCPGraph *graph, const QVector<double> &x, const QVector<double> &y,
                         const QVector<double> &error)
{
    const int n = std::min({x.size(), y.size(), error.size()});
    QVector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    const auto before = [&x](int a, int b) {
        return x[a] < x[b] || (std::isnan(x[b]) && !std::isnan(x[a]));
    };
    // A sweep comes in order already; the check costs a fraction of the sort.
    if (!std::is_sorted(order.begin(), order.end(), before))
        std::stable_sort(order.begin(), order.end(), before);
    QVector<double> keys(n);
    QVector<double> values(n);
    QVector<double> errors(n);
    for (int i = 0; i < n; ++i) {
        keys[i] = x[order[i]];
        values[i] = y[order[i]];
        errors[i] = error[order[i]];
    }
    graph->setData(keys, values, true);
    if (QCPErrorBars *bars = barsOf(graph))
        bars->setData(errors);
}

QCPErrorBars *PointsWithBars::barsOf(QCPGraph *graph)
{
    QCustomPlot *plot = graph->parentPlot();
    for (int i = 0; i < plot->plottableCount(); ++i) {
        auto *bars = qobject_cast<QCPErrorBars *>(plot->plottable(i));
        if (bars && bars->dataPlottable() == graph)
            return bars;
    }
    return nullptr;
}
