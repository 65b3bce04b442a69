#include "regression/fitpoints.h"

#include <algorithm>

FitPoints::FitPoints(const QVector<double> &xv, const QVector<double> &yv,
                     const QVector<double> &dyv, bool weightedAsked)
    : x(xv.constData()), y(yv.constData()), dy(dyv.constData()),
      count(static_cast<int>(std::min(xv.size(), yv.size()))),
      weightedCount(std::min(count, static_cast<int>(dyv.size()))), weighted(false)
{
    if (!weightedAsked)
        return;
    for (int i = 0; i < weightedCount; ++i) {
        if (usableSpread(dy[i])) {
            weighted = true;
            return;
        }
    }
}
