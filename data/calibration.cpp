#include "data/calibration.h"

#include <algorithm>

void Calibration::sortByX(QVector<QPointF> &points)
{
    std::stable_sort(points.begin(), points.end(),
                     [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
}

// The segment ends at the first point from the second to the last but one whose x is not
// below the given x, or at the last point; so the first and last segments reach out to
// infinity. An empty table corrects nothing; a table of one point is a constant correction. A
// segment whose two ends share x has no slope: it gives the mean of their corrections, so a
// duplicated x never turns the corrected values into infinities or NaN.
double Calibration::correctionAt(const QVector<QPointF> &points, double x)
{
    const int m = points.size();
    if (m == 0)
        return 0;
    if (m == 1)
        return points.first().y();
    const auto last = points.cbegin() + (m - 1);
    const auto end = std::lower_bound(points.cbegin() + 1, last, x,
                                      [](const QPointF &p, double value) { return p.x() < value; });
    const QPointF &upper = *end;
    const QPointF &lower = *(end - 1);
    const double width = upper.x() - lower.x();
    if (width == 0)
        return (lower.y() + upper.y()) / 2;
    const double slope = (upper.y() - lower.y()) / width;
    return upper.y() - (upper.x() - x) * slope;
}

QVector<double> Calibration::corrected(const QVector<QPointF> &points, const QVector<double> &x,
                                       QVector<double> y)
{
    const int n = std::min(x.size(), y.size());
    for (int k = 0; k < n; ++k)
        y[k] -= correctionAt(points, x.at(k));
    return y;
}
