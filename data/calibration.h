#ifndef CALIBRATION_H
#define CALIBRATION_H

#include <QPointF>
#include <QVector>

// The calibration correction: a table of points (x, correction y), sorted by x, interpolated
// linearly between neighbours and extended linearly beyond both ends.
class Calibration
{
public:
    // Sorts by ascending x; points with equal x keep their file order.
    static void sortByX(QVector<QPointF> &points);

    // The correction at x for a sorted table (0 for an empty one).
    static double correctionAt(const QVector<QPointF> &points, double x);

    // y minus the correction at the matching x, for the first min(x, y) entries.
    static QVector<double> corrected(const QVector<QPointF> &points, const QVector<double> &x,
                                     QVector<double> y);
};

#endif // CALIBRATION_H
