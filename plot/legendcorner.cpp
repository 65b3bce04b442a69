#include "plot/legendcorner.h"

#include <qcustomplot.h>

#include <algorithm>

void LegendCorner::place(QCustomPlot *plot)
{
    QCPLegend *legend = plot->legend;
    if (!legend || !legend->visible())
        return;
    const QRect area = plot->axisRect()->rect();
    const QSize size = legend->minimumOuterSizeHint();
    const Qt::Alignment corners[] = {Qt::AlignTop | Qt::AlignRight, Qt::AlignTop | Qt::AlignLeft,
                                     Qt::AlignBottom | Qt::AlignRight,
                                     Qt::AlignBottom | Qt::AlignLeft};
    int counts[4] = {0, 0, 0, 0};
    QRect boxes[4];
    for (int i = 0; i < 4; ++i) {
        const int left = corners[i] & Qt::AlignLeft ? area.left() : area.right() - size.width();
        const int top = corners[i] & Qt::AlignTop ? area.top() : area.bottom() - size.height();
        boxes[i] = QRect(left, top, size.width(), size.height());
    }
    // The points and the curve's samples; an overlay of some of the points counts them twice,
    // which does not change which corner is emptiest by much.
    for (int g = 0; g < plot->graphCount(); ++g) {
        QCPGraph *graph = plot->graph(g);
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it) {
            const QPointF at = graph->coordsToPixels(it->key, it->value);
            for (int i = 0; i < 4; ++i)
                counts[i] += boxes[i].contains(at.toPoint()) ? 1 : 0;
        }
    }
    const int best = int(std::min_element(counts, counts + 4) - counts);
    plot->axisRect()->insetLayout()->setInsetAlignment(0, corners[best]);
}

Qt::Alignment LegendCorner::current(QCustomPlot *plot)
{
    return plot->axisRect()->insetLayout()->insetAlignment(0);
}
