#ifndef POINTSWITHBARS_H
#define POINTSWITHBARS_H

#include <QVector>

class QCPErrorBars;
class QCPGraph;
class QCustomPlot;

// Points with vertical error bars: a graph of blue diamonds without connecting lines, and the
// error bars attached to it. The graph keeps its points sorted by X and the bars belong to the
// points by position in that order, so both are handed over sorted together and every bar stays
// with its own point.
class PointsWithBars
{
public:
    // Adds such a graph with its bars to plot, on its default axes.
    static QCPGraph *add(QCustomPlot *plot);

    // Points i below the shortest of the three lengths: (x[i], y[i]) with a bar of ±error[i]. A
    // point whose X is not a number goes last.
    static void set(QCPGraph *graph, const QVector<double> &x, const QVector<double> &y,
                    const QVector<double> &error);

    // The error bars attached to graph, null if there are none.
    static QCPErrorBars *barsOf(QCPGraph *graph);
};

#endif // POINTSWITHBARS_H
