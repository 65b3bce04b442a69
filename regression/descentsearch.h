#ifndef DESCENTSEARCH_H
#define DESCENTSEARCH_H

#include <QVector>

#include <cmath>

#include "regression/cabstractregresscalculation.h"

// The search both fit families share: a descent along the normalised direction with a fixed
// step that only halves, then a bisection on each side of the fitted Fc for the abscissa where
// the objective, with A held, has doubled.
//
// It reaches the points only through an evaluator, which offers
//   double objective(double A, double Fc)        the objective, exactly;
//   void direction(double A, double Fc, double &gA, double &gF)
//                                                the two direction components at (A, Fc);
//   bool surelyAbove(double A, double Fc, double bound)
//                                                true only if the objective is certainly above
//                                                bound (false when it cannot tell quickly);
//   bool above(double A, double Fc, double bound) whether the objective is above bound, exactly;
//   bool greater(double A1, double Fc1, double A2, double Fc2)
//                                                whether the objective at the first point is
//                                                above the one at the second, exactly.
// An evaluator that just calls the class's virtual operations gives the plain search; a faster
// one must return the same values, so that the search takes the same path either way.
namespace descentsearch {

// The bound of Fc between c and d: bisects on Fc, A held, for where the objective crosses
// twice its minimum, starting from whether it rises from the lower to the upper end, and
// returns the lower end of the last bracket. It also stops once the bracket cannot be split
// any more in double precision (ends far apart in value but neighbours as numbers, or not
// finite), which would otherwise never end.
template <class Evaluator> double findBound(Evaluator &e, double Smin, double A, double c, double d)
{
    double hi = d;
    double lo = c;
    if (c > d) {
        hi = c;
        lo = d;
    }
    const bool rising = e.greater(A, hi, A, lo);
    const double T = Smin + Smin;
    while (hi - lo > 1e-5) {
        const double mid = (lo + hi) * 0.5;
        if (!(lo < mid && mid < hi))
            break;
        if (e.above(A, mid, T) == rising)
            hi = mid;
        else
            lo = mid;
    }
    return lo;
}

using Outcome = cAbstractRegressCalculation::Outcome;

// Refines the starting pair and returns A, Fc, Fb, Ft; *outcome tells how the descent went.
// With a monitor, the descent publishes its accepted steps there and ends early once it is
// cancelled; it then returns A and Fc as they are and NaN for Fb and Ft. A trial
// is accepted when its objective is not above the current one and finite; an infinite objective is
// no improvement on an infinite one. The descent ends when the step has halved to a trillionth of
// its first length, when an accepted step leaves A and Fc unchanged (it would then be repeated
// unchanged for ever), or after maxAcceptedSteps accepted steps.
template <class Evaluator>
QVector<double> minimize(Evaluator &e, double A, double Fc, Outcome *outcome,
                         cAbstractRegressCalculation::Monitor *monitor)
{
    *outcome = Outcome();
    double t = std::sqrt(A * A + Fc * Fc) / 100;
    const double eps = 1e-12 * t;
    if (t > eps) {
        long long accepted = 0;
        // A quick look at a trial pays off only while trials tend to fail, so it is tried
        // only right after a failed one.
        bool lastFailed = false;
        for (;;) {
            const double S0 = e.objective(A, Fc);
            double gA = 0;
            double gF = 0;
            e.direction(A, Fc, gA, gF);
            const double L = std::sqrt(gA * gA + gF * gF);
            const double uA = gA / L;
            const double uF = gF / L;
            bool moved = false;
            double nextA = A;
            double nextFc = Fc;
            for (;;) {
                const double dA = t * uA;
                const double dF = t * uF;
                const double trialA = A - dA;
                const double trialFc = Fc - dF;
                if (!(lastFailed && e.surelyAbove(trialA, trialFc, S0))) {
                    const double S1 = e.objective(trialA, trialFc);
                    if (S1 <= S0 && std::isfinite(S1)) {
                        nextA = trialA;
                        nextFc = std::fabs(trialFc);
                        moved = true;
                        break;
                    }
                }
                lastFailed = true;
                t = t * 0.5;
                if (t <= eps)
                    break;
            }
            if (!moved)
                break;
            lastFailed = false;
            const bool still = nextA == A && nextFc == Fc;
            A = nextA;
            Fc = nextFc;
            ++accepted;
            if (monitor) {
                monitor->acceptedSteps.store(accepted, std::memory_order_relaxed);
                if (monitor->cancel.load(std::memory_order_relaxed)) {
                    outcome->cancelled = true;
                    break;
                }
            }
            if (still)
                break;
            if (accepted >= cAbstractRegressCalculation::maxAcceptedSteps) {
                outcome->stepLimitReached = true;
                break;
            }
        }
        outcome->acceptedSteps = accepted;
    }
    if (outcome->cancelled)
        return {A, Fc, std::nan(""), std::nan("")};
    const double Smin = e.objective(A, Fc);
    const double Fb = findBound(e, Smin, A, 0.01 * Fc, Fc);
    const double Ft = findBound(e, Smin, A, Fc, 2 * Fc);
    return {A, Fc, Fb, Ft};
}

} // namespace descentsearch

#endif // DESCENTSEARCH_H
