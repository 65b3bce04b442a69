#ifndef PLAINTICKS_H
#define PLAINTICKS_H

#include <QFontMetricsF>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <type_traits>

// A tick generator for one axis, linear (Base QCPAxisTicker) or logarithmic (Base
// QCPAxisTickerLog), whose labels read the same under every desktop language, tell every tick
// apart and never overlap:
// - labels are plain numbers with a point as decimal separator and no group separators
//   ("10000", not "10,000", which a German reader takes for ten);
// - one notation per axis: every label is a plain number when all of them lie between 1e-4 and
//   1e6, otherwise every one is a power of ten ("10⁵", "10⁶", never "100000" beside "10⁶");
// - each label carries as many digits as its tick needs to be read back exactly: evenly spaced
//   ticks all carry the digits of the one that needs most ("2.100000·10⁹", "2.100001·10⁹" for a
//   span of a few kHz at 2.1 GHz), the ticks of a logarithmic axis only their own ("0.1", "1");
// - the number of ticks is lowered until the labels, at their place on the axis, keep a gap
//   of one letter between them (a third of a line on a vertical axis), so they never run
//   together at any size of the plot;
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

    // The labels of these ticks, as the axis shows them.
    QVector<QString> labels(const QVector<double> &ticks) const
    {
        double largest = 0;
        double smallest = HUGE_VAL;
        double step = HUGE_VAL;
        bool even = ticks.size() > 1;
        for (int i = 0; i < ticks.size(); ++i) {
            const double size = std::fabs(ticks[i]);
            if (size > 0) {
                largest = std::max(largest, size);
                smallest = std::min(smallest, size);
            }
            if (i > 0) {
                step = std::min(step, std::fabs(ticks[i] - ticks[i - 1]));
                even = even && std::fabs(std::fabs(ticks[i] - ticks[i - 1]) -
                                         std::fabs(ticks[1] - ticks[0])) <=
                                   1e-6 * std::fabs(ticks[1] - ticks[0]);
            }
        }
        const char format = largest < 1e6 && smallest >= 1e-4 ? 'f' : 'e';
        // A tick within a millionth of a step of 0 is 0 ("0.0" among "-0.5" and "0.5", never
        // "-0" or "0·10⁰").
        const auto isZero = [&](double tick) {
            return tick == 0 || (even && std::fabs(tick) <= 1e-6 * step);
        };
        const auto digitsOf = [&](double tick) {
            const double tolerance = even ? 1e-6 * step : 1e-9 * std::fabs(tick);
            for (int digits = 0; digits < 16; ++digits) {
                if (std::fabs(QString::number(tick, format, digits).toDouble() - tick) <= tolerance)
                    return digits;
            }
            return 16;
        };
        int common = 0;
        if (even) {
            for (double tick : ticks)
                common = isZero(tick) ? common : std::max(common, digitsOf(tick));
        }
        QVector<QString> result;
        for (double tick : ticks) {
            const int digits = even ? common : isZero(tick) ? 0 : digitsOf(tick);
            result.append(isZero(tick) ? QString::number(0.0, 'f', format == 'f' ? digits : 0)
                                       : QString::number(tick, format, digits));
        }
        return result;
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
            Base::generate(range, locale, formatChar, precision, ticks, subTicks, nullptr);
            if (logarithmic && inView(ticks, range) < 2 && sparseDecades(range, ticks, subTicks))
                break;
            if (count <= 2 || apart(ticks))
                break;
        }
        if (tickLabels)
            *tickLabels = labels(ticks);
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
    bool apart(const QVector<double> &ticks) const
    {
        const QFontMetricsF metrics(axis->tickLabelFont());
        const bool horizontal = axis->orientation() == Qt::Horizontal;
        const double gap =
            horizontal ? metrics.horizontalAdvance(QLatin1Char('M')) : metrics.height() / 3;
        const QVector<QString> texts = labels(ticks);
        double lastEnd = -1e300;
        double lastStart = 1e300;
        for (int i = 0; i < ticks.size(); ++i) {
            const double at = axis->coordToPixel(ticks[i]);
            if (!std::isfinite(at))
                continue;
            const double size = horizontal ? metrics.horizontalAdvance(texts[i]) : metrics.height();
            const double start = at - size / 2;
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
    bool sparseDecades(const QCPRange &range, QVector<double> &ticks,
                       QVector<double> *subTicks) const
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
            if (candidate.size() < 2 || !apart(candidate))
                continue;
            ticks = candidate;
            if (subTicks)
                subTicks->clear();
            return true;
        }
        return false;
    }

    QCPAxis *axis;
};

#endif // PLAINTICKS_H
