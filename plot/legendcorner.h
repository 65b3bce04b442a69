#ifndef LEGENDCORNER_H
#define LEGENDCORNER_H

#include <Qt>

class QCustomPlot;

// Puts a plot's legend into the corner of its axis rectangle where the fewest data points lie
// under it, for the plot as it is laid out now: on the screen before each replot, and again on
// an export page, whose shape differs.
class LegendCorner
{
public:
    // The corner chosen: on a tie the earlier of top right, top left, bottom right, bottom left.
    // Nothing changes while the legend is hidden.
    static void place(QCustomPlot *plot);
    // The corner the legend's inset stands in.
    static Qt::Alignment current(QCustomPlot *plot);
};

#endif // LEGENDCORNER_H
