#include "plot/denseerrorbars.h"

#include <algorithm>
#include <cmath>
#include <vector>

DenseErrorBars::DenseErrorBars(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPErrorBars(keyAxis, valueAxis)
{
}

// Merges lines that all run in one direction (vertical, or horizontal when across is false)
// into as few lines as cover what they cover together. Without antialiasing a line lands in the
// pixel column (or row) that holds it on the device; the lines of one column are sorted along
// it and those that overlap become one. Lines outside the pixel range first to last cannot show
// and are dropped.
static QVector<QLineF> mergeLines(const QVector<QLineF> &lines, bool vertical,
                                  const QTransform &toDevice, int first, int last)
{
    struct Span
    {
        double at;
        double low;
        double high;
    };
    std::vector<std::vector<Span>> buckets(static_cast<size_t>(std::max(0, last - first + 1)));
    for (const QLineF &line : lines) {
        const double at = vertical ? line.x1() : line.y1();
        const double from = vertical ? line.y1() : line.x1();
        const double to = vertical ? line.y2() : line.x2();
        const QPointF device = toDevice.map(line.p1());
        const double pixel = std::floor(vertical ? device.x() : device.y());
        if (!(pixel >= first && pixel <= last) || !std::isfinite(from) || !std::isfinite(to))
            continue;
        buckets[static_cast<size_t>(pixel - first)].push_back(
            {at, std::min(from, to), std::max(from, to)});
    }
    QVector<QLineF> merged;
    for (std::vector<Span> &bucket : buckets) {
        std::sort(bucket.begin(), bucket.end(),
                  [](const Span &a, const Span &b) { return a.low < b.low; });
        for (size_t i = 0; i < bucket.size();) {
            const Span &start = bucket[i];
            double high = start.high;
            for (++i; i < bucket.size() && bucket[i].low <= high; ++i)
                high = std::max(high, bucket[i].high);
            merged.append(vertical ? QLineF(start.at, start.low, start.at, high)
                                   : QLineF(start.low, start.at, high, start.at));
        }
    }
    return merged;
}

void DenseErrorBars::draw(QCPPainter *painter)
{
    if (!dataPlottable() || !keyAxis() || !valueAxis() || mDataContainer->isEmpty())
        return;
    QCPErrorBarsDataContainer::const_iterator begin;
    QCPErrorBarsDataContainer::const_iterator end;
    getVisibleDataBounds(begin, end, QCPDataRange(0, dataCount()));
    const QRect area = keyAxis()->axisRect()->rect();
    if (painter->modes().testFlag(QCPPainter::pmVectorized) || errorType() != etValueError ||
        keyAxis()->orientation() != Qt::Horizontal || area.width() <= 0 || area.height() <= 0 ||
        end - begin <= area.width()) {
        QCPErrorBars::draw(painter);
        return;
    }

    QVector<QLineF> backbones;
    QVector<QLineF> whiskers;
    for (auto it = begin; it != end; ++it)
        getErrorBarLines(it, backbones, whiskers);

    applyDefaultAntialiasingHint(painter);
    painter->setBrush(Qt::NoBrush);
    QPen pen = this->pen();
    if (pen.capStyle() == Qt::SquareCap)
        pen.setCapStyle(Qt::FlatCap);
    painter->setPen(pen);
    const QTransform toDevice = painter->deviceTransform();
    const QRect device = toDevice.mapRect(area).adjusted(-1, -1, 1, 1);
    painter->drawLines(mergeLines(backbones, true, toDevice, device.left(), device.right()));
    painter->drawLines(mergeLines(whiskers, false, toDevice, device.top(), device.bottom()));
}
