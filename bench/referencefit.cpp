// The straightforward reference of the fit procedure (see referencefit.h). Every function below
// follows the written procedure line by line; the only additions are the safeguards the regression
// classes add where the procedure alone would not end or would divide by zero, marked as such.
#include "referencefit.h"

#include <algorithm>
#include <cmath>

#include "regression/cabstractregresscalculation.h"

namespace referencefit {

namespace {

const double ln10 = 2.302585092994046;

double ifBandLevel(double x, double A, double Fc)
{
    const double u = x / Fc;
    return A - 10.0 * std::log10(u * u + 1.0);
}

double recombinationResponse(double x, double A, double Fc)
{
    const double u = x / Fc;
    const double s = std::sqrt(u * u + 1.0);
    return x * A / Fc / s;
}

class Fit
{
public:
    Fit(Model model, bool weighted, const QVector<double> &x, const QVector<double> &y,
        const QVector<double> &dy, Counters *counters)
        : model(model), weighted(weighted), x(x), y(y), dy(dy), counters(counters)
    {
    }

    double modelValue(double xi, double A, double Fc) const
    {
        if (model == Model::IfBand)
            return ifBandLevel(xi, A, Fc);
        return recombinationResponse(xi, A, Fc);
    }

    // Safeguard: a spread of 0 or a non-finite one gives the point no defined weight, so the
    // weighted objective leaves it out; with no usable spread left it is the unweighted one.
    double residualSum(double A, double Fc)
    {
        if (counters)
            ++counters->objectivePasses;
        if (weighted) {
            const int n = std::min({x.size(), y.size(), dy.size()});
            double sum = 0;
            bool used = false;
            for (int i = 0; i < n; ++i) {
                if (dy[i] != 0 && std::isfinite(dy[i])) {
                    const double q = (modelValue(x[i], A, Fc) - y[i]) / dy[i];
                    sum += q * q;
                    used = true;
                }
            }
            if (used)
                return sum;
        }
        const int n = std::min(x.size(), y.size());
        double sum = 0;
        for (int i = 0; i < n; ++i) {
            const double r = modelValue(x[i], A, Fc) - y[i];
            sum += r * r;
        }
        return sum;
    }

    double gradientA(double A, double Fc)
    {
        if (counters)
            ++counters->directionPasses;
        const int n = std::min(x.size(), y.size());
        double sum = 0;
        if (model == Model::IfBand) {
            for (int i = 0; i < n; ++i)
                sum += ifBandLevel(x[i], A, Fc) - y[i];
            return sum;
        }
        for (int i = 0; i < n; ++i) {
            const double m = recombinationResponse(x[i], A, Fc);
            sum += m * (m - y[i]);
        }
        return 2 * sum / A;
    }

    double gradientFc(double A, double Fc)
    {
        if (counters)
            ++counters->directionPasses;
        const int n = std::min(x.size(), y.size());
        double sum = 0;
        if (model == Model::IfBand) {
            for (int i = 0; i < n; ++i) {
                const double r = ifBandLevel(x[i], A, Fc) - y[i];
                sum += r * 20 * (x[i] * x[i]) / ((x[i] * x[i] + Fc * Fc) * (Fc * ln10));
            }
            return sum;
        }
        for (int i = 0; i < n; ++i) {
            const double m = recombinationResponse(x[i], A, Fc);
            const double r = m / A;
            sum += m * (m - y[i]) * (r * r - 1);
        }
        return 2 * sum / Fc;
    }

    // Safeguard: the bisection also ends once the midpoint is no longer strictly inside the
    // bracket (a bracket of two neighbouring doubles wider than the tolerance, or not finite).
    double findBound(double Smin, double A, double c, double d)
    {
        double hi, lo;
        if (c > d) {
            hi = c;
            lo = d;
        } else {
            hi = d;
            lo = c;
        }
        const bool rising = residualSum(A, hi) > residualSum(A, lo);
        const double T = Smin + Smin;
        while (hi - lo > 1e-5) {
            const double mid = (lo + hi) * 0.5;
            if (!(lo < mid && mid < hi))
                break;
            if ((residualSum(A, mid) > T) == rising)
                hi = mid;
            else
                lo = mid;
        }
        return lo;
    }

    // Safeguards: a trial whose objective is infinite is not accepted (like one that is not a
    // number); the descent ends when an accepted step changes neither A nor Fc (it would repeat
    // itself unchanged for ever) and after maxAcceptedSteps accepted steps.
    QVector<double> minimize(const QVector<double> &start)
    {
        double A = start[0];
        double Fc = start[1];
        double t = std::sqrt(A * A + Fc * Fc) / 100;
        const double eps = 1e-12 * t;
        if (t > eps) {
            long long accepted = 0;
            for (;;) {
                const double S0 = residualSum(A, Fc);
                const double gA = gradientA(A, Fc);
                const double gF = gradientFc(A, Fc);
                const double L = std::sqrt(gA * gA + gF * gF);
                const double uA = gA / L;
                const double uF = gF / L;
                bool moved = false;
                double nextA = A;
                double nextFc = Fc;
                for (;;) {
                    const double dA = t * uA;
                    const double dF = t * uF;
                    const double S1 = residualSum(A - dA, Fc - dF);
                    if (S1 <= S0 && std::isfinite(S1)) {
                        nextA = A - dA;
                        nextFc = std::fabs(Fc - dF);
                        moved = true;
                        break;
                    }
                    t = t * 0.5;
                    if (t <= eps)
                        break;
                }
                if (!moved)
                    break;
                const bool still = nextA == A && nextFc == Fc;
                A = nextA;
                Fc = nextFc;
                ++accepted;
                if (counters)
                    ++counters->acceptedSteps;
                if (still || accepted >= cAbstractRegressCalculation::maxAcceptedSteps)
                    break;
            }
        }
        const double Smin = residualSum(A, Fc);
        const double Fb = findBound(Smin, A, 0.01 * Fc, Fc);
        const double Ft = findBound(Smin, A, Fc, 2 * Fc);
        return {A, Fc, Fb, Ft};
    }

private:
    Model model;
    bool weighted;
    const QVector<double> &x;
    const QVector<double> &y;
    const QVector<double> &dy;
    Counters *counters;
};

} // namespace

QVector<double> startingValues(const QVector<double> &x, const QVector<double> &y)
{
    const int n = std::min(x.size(), y.size());
    if (n == 0)
        return {0, 0};
    double A0 = y[0];
    double Xm = x[0];
    for (int i = 1; i < n; ++i) {
        if (y[i] > A0)
            A0 = y[i];
        if (x[i] > Xm)
            Xm = x[i];
    }
    return {A0, 0.5 * Xm};
}

QVector<double> fit(Model model, bool weighted, const QVector<double> &x, const QVector<double> &y,
                    const QVector<double> &dy, Counters *counters)
{
    Fit f(model, weighted, x, y, dy, counters);
    return f.minimize(startingValues(x, y));
}

} // namespace referencefit
