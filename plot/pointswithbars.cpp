#include "plot/pointswithbars.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <numeric>

void PointsWithBars::set(QCPGraph *graph, QCPErrorBars *bars, const QVector<double> &x,
                         const QVector<double> &y, const QVector<double> &error)
{
    const int n = std::min({x.size(), y.size(), error.size()});
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
        errors[i] = error[order[i]];
    }
    graph->setData(keys, values, true);
    bars->setData(errors);
}
