#ifndef SWEEPPLAN_H
#define SWEEPPLAN_H

#include <QCoreApplication>
#include <QString>
#include <QVector>

// The frequencies of a sweep: from start to stop (downwards when stop is below start), the given
// number of points, spaced evenly on a linear or a logarithmic scale. The first and the last
// frequency are start and stop exactly.
class SweepPlan
{
    Q_DECLARE_TR_FUNCTIONS(SweepPlan)

public:
    enum class Spacing
    {
        Logarithmic,
        Linear
    };

    static constexpr int minimumPoints = 2;
    static constexpr int maximumPoints = 10000;

    SweepPlan() = default;
    SweepPlan(double start, double stop, int points, Spacing spacing)
        : start(start), stop(stop), points(points), spacing(spacing)
    {
    }

    // Why the plan cannot be swept, empty when it can.
    QString refusal() const;
    // The frequencies in the order they are swept; empty for a plan refused.
    QVector<double> frequencies() const;

    // A frequency in Hz as a command gives it: every digit, never an exponent; an integral
    // value without a decimal point, any other with the fewest digits that read back as it.
    static QString frequencyText(double hertz);
    // Why command cannot carry the frequency (it has no %1), empty when it can.
    static QString commandRefusal(const QString &command);
    // The command with %1 replaced by the frequency.
    static QByteArray command(const QString &pattern, double hertz);

    double start = 0;
    double stop = 0;
    int points = 21;
    Spacing spacing = Spacing::Logarithmic;
};

#endif // SWEEPPLAN_H
