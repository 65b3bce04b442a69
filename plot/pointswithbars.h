#ifndef POINTSWITHBARS_H
#define POINTSWITHBARS_H

#include <QVector>

class QCPErrorBars;
class QCPGraph;

// Hands points with vertical error bars to a graph and the error bars attached to it. The graph
// keeps its points sorted by X and the bars belong to the points by position in that order, so
// both are handed over sorted together and every bar stays with its own point. A point whose X
// is not a number goes last.
class PointsWithBars
{
public:
    // Points i below the shortest of the three lengths: (x[i], y[i]) with a bar of ±error[i].
    static void set(QCPGraph *graph, QCPErrorBars *bars, const QVector<double> &x,
                    const QVector<double> &y, const QVector<double> &error);
};

#endif // POINTSWITHBARS_H
