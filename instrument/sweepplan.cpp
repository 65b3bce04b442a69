#include "instrument/sweepplan.h"

#include <cmath>

QString SweepPlan::refusal() const
{
    if (!std::isfinite(start) || !std::isfinite(stop))
        return tr("The start and stop frequencies must be numbers");
    if (points < minimumPoints || points > maximumPoints)
        return tr("A sweep has %1 to %2 points").arg(minimumPoints).arg(maximumPoints);
    if (start == stop)
        return tr("Start and stop are the same frequency");
    if (spacing == Spacing::Logarithmic && (start <= 0 || stop <= 0))
        return tr("A logarithmic sweep needs frequencies above 0 Hz");
    return QString();
}

QVector<double> SweepPlan::frequencies() const
{
    QVector<double> result;
    if (!refusal().isEmpty())
        return result;
    result.reserve(points);
    const int last = points - 1;
    const double ratio = stop / start;
    for (int i = 0; i <= last; ++i) {
        const double share = static_cast<double>(i) / last;
        if (i == last)
            result.append(stop);
        else if (spacing == Spacing::Logarithmic)
            result.append(start * std::pow(ratio, share));
        else
            result.append(start + (stop - start) * share);
    }
    return result;
}

QString SweepPlan::frequencyText(double hertz)
{
    if (hertz == std::round(hertz))
        return QString::number(hertz, 'f', 0);
    // The fixed notation of a number below 1 needs its leading zeros besides the digits that
    // tell it apart; 340 decimals reach the smallest double.
    for (int decimals = 1; decimals <= 340; ++decimals) {
        const QString text = QString::number(hertz, 'f', decimals);
        if (text.toDouble() == hertz)
            return text;
    }
    return QString::number(hertz, 'f', 340);
}

QString SweepPlan::commandRefusal(const QString &command)
{
    if (command.trimmed().isEmpty())
        return tr("The command is empty");
    if (!command.contains(QLatin1String("%1")))
        return tr("The command needs %1 where the frequency goes");
    return QString();
}

QByteArray SweepPlan::command(const QString &pattern, double hertz)
{
    return pattern.trimmed().arg(frequencyText(hertz)).toLatin1();
}
