#ifndef PLAINTICKS_H
#define PLAINTICKS_H

#include <QFontMetricsF>
#include <qcustomplot.h>

#include <cmath>
#include <type_traits>

// A tick generator for one axis, linear (Base QCPAxisTicker) or logarithmic (Base
// QCPAxisTickerLog), whose labels read the same under every desktop language and never
// overlap:
// - labels are plain numbers with a point as decimal separator and no group separators
//   ("10000", not "10,000", which a German reader takes for ten);
// - the number of ticks is lowered until the labels, at their place on the axis, keep a gap
//   of one letter between them, so they never run together at any size of the plot;
// - a logarithmic axis zoomed in so far that fewer than two powers of ten lie in view is
//   labelled at 1, 2 and 5 times the powers of ten (or 1 and 3, or evenly in X), so that at
//   least two labelled ticks stay in view.
template <class Base> class PlainTicks : public Base
{
public:
    explicit PlainTicks(QCPAxis *axis) : axis(axis) {}

    static void install(QCPAxis *axis)
    {
        axis->setTicker(QSharedPointer<PlainTicks>(new PlainTicks(axis)));
    }

protected:
    QString getTickLabel(double tick, const QLocale &, QChar formatChar, int precision) override
    {
        return QString::number(tick, formatChar.toLatin1(), precision);
    }

    void generate(const QCPRange &range, const QLocale &locale, QChar formatChar, int precision,
                  QVector<double> &ticks, QVector<double> *subTicks,
                  QVector<QString> *tickLabels) override
    {
        for (int count = 5;; --count) {
            this->setTickCount(count);
            Base::generate(range, locale, formatChar, precision, ticks, subTicks, tickLabels);
            if (logarithmic && inView(ticks, range) < 2 &&
                sparseDecades(range, formatChar, precision, ticks, subTicks, tickLabels))
                return;
            if (count <= 2 || apart(ticks, formatChar, precision))
                return;
        }
    }

private:
    static constexpr bool logarithmic = std::is_base_of<QCPAxisTickerLog, Base>::value;

    static int inView(const QVector<double> &ticks, const QCPRange &range)
    {
        int n = 0;
        for (double tick : ticks)
            n += range.contains(tick) ? 1 : 0;
        return n;
    }

    // Whether the labels of these ticks keep a letter's width (or, on a vertical axis, a
    // third of a line) between each other where the axis puts them.
    bool apart(const QVector<double> &ticks, QChar formatChar, int precision)
    {
        const QFontMetricsF metrics(axis->tickLabelFont());
        const bool horizontal = axis->orientation() == Qt::Horizontal;
        const double gap =
            horizontal ? metrics.horizontalAdvance(QLatin1Char('M')) : metrics.height() / 3;
        double lastEnd = -1e300;
        double lastStart = 1e300;
        for (double tick : ticks) {
            const double at = axis->coordToPixel(tick);
            if (!std::isfinite(at))
                continue;
            const double size = horizontal ? metrics.horizontalAdvance(getTickLabel(
                                                 tick, QLocale(), formatChar, precision))
                                           : metrics.height();
            const double start = std::min(at - size / 2, at + size / 2);
            const double end = start + size;
            if (start < lastEnd + gap && end > lastStart - gap)
                return false;
            lastStart = std::min(lastStart, start);
            lastEnd = std::max(lastEnd, end);
        }
        return true;
    }

    // Ticks at m times the powers of ten in view, for the mantissas m of the first set that
    // gives two ticks in view whose labels keep apart; false when none does.
    bool sparseDecades(const QCPRange &range, QChar formatChar, int precision,
                       QVector<double> &ticks, QVector<double> *subTicks,
                       QVector<QString> *tickLabels)
    {
        if (!(range.lower > 0 && range.upper > range.lower))
            return false;
        static const QVector<QVector<double>> mantissaSets = {{1, 2, 5}, {1, 3}};
        const int first = static_cast<int>(std::floor(std::log10(range.lower)));
        const int last = static_cast<int>(std::ceil(std::log10(range.upper)));
        for (const QVector<double> &mantissas : mantissaSets) {
            QVector<double> candidate;
            for (int power = first; power <= last; ++power) {
                for (double m : mantissas) {
                    const double tick = m * std::pow(10.0, power);
                    if (range.contains(tick))
                        candidate.append(tick);
                }
            }
            if (candidate.size() < 2 || !apart(candidate, formatChar, precision))
                continue;
            ticks = candidate;
            if (subTicks)
                subTicks->clear();
            if (tickLabels) {
                tickLabels->clear();
                for (double tick : ticks)
                    tickLabels->append(getTickLabel(tick, QLocale(), formatChar, precision));
            }
            return true;
        }
        return false;
    }

    QCPAxis *axis;
};

#endif // PLAINTICKS_H
