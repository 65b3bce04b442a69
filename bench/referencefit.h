#ifndef REFERENCEFIT_H
#define REFERENCEFIT_H

#include <QVector>

// The straightforward reference of the four fit methods: the search written out step by step,
// one pass over the points for every objective value and one for every direction component,
// nothing fused, hoisted or reused. The optimised search in regression/ is checked against it by
// the tests and timed against it by the benchmark, so it must stay plain: change it only when the
// procedure itself changes.
namespace referencefit {

enum class Model
{
    IfBand,
    RecombinationTime
};

// How much work one fit did: objective and direction passes over the points, accepted steps.
struct Counters
{
    long long objectivePasses = 0;
    long long directionPasses = 0;
    long long acceptedSteps = 0;
};

// Fits A and Fc to the points (X already scaled) and returns A, Fc, Fb, Ft, exactly as the
// regression classes define it, including their safeguards for zero spreads and endless descents.
QVector<double> fit(Model model, bool weighted, const QVector<double> &x, const QVector<double> &y,
                    const QVector<double> &dy, Counters *counters = nullptr);

// The starting pair A0, Fc0 alone.
QVector<double> startingValues(const QVector<double> &x, const QVector<double> &y);

} // namespace referencefit

#endif // REFERENCEFIT_H
