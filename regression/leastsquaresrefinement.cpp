#include "regression/leastsquaresrefinement.h"

#include <cminpack.h>

#include <cmath>
#include <vector>

#include "regression/fitpoints.h"
#include "regression/regressionmethods.h"

namespace {

struct Problem
{
    int method;
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> weight;
    cAbstractRegressCalculation::Monitor *monitor;
    // The parameter held at its value in fixed (-1: both are free).
    int held = -1;
    double fixed[2] = {0, 0};
    bool notFinite = false;
};

// lmder's callback: the weighted residuals (iflag 1) or their Jacobian, column-major (iflag 2),
// with one column per free parameter. A negative return stops the search: on a cancel, or on
// residuals that are not numbers.
int residuals(void *p, int m, int, const double *parameters, double *fvec, double *fjac, int ldfjac,
              int iflag)
{
    auto *problem = static_cast<Problem *>(p);
    if (problem->monitor) {
        problem->monitor->refinementEvaluations.fetch_add(1, std::memory_order_relaxed);
        if (problem->monitor->cancel.load(std::memory_order_relaxed))
            return -1;
    }
    const double A = problem->held == 0 ? problem->fixed[0] : parameters[0];
    const double Fc =
        problem->held == 1 ? problem->fixed[1] : parameters[problem->held == 0 ? 0 : 1];
    for (int i = 0; i < m; ++i) {
        double dA = 0;
        double dFc = 0;
        const double value =
            regressionmethods::modelWithDerivatives(problem->method, problem->x[i], A, Fc, dA, dFc);
        const double w = problem->weight[i];
        if (iflag == 1) {
            fvec[i] = (value - problem->y[i]) * w;
            if (!std::isfinite(fvec[i])) {
                problem->notFinite = true;
                return -2;
            }
        } else if (problem->held < 0) {
            fjac[i] = dA * w;
            fjac[i + ldfjac] = dFc * w;
        } else {
            fjac[i] = (problem->held == 0 ? dFc : dA) * w;
        }
    }
    return 0;
}

} // namespace

LeastSquaresRefinement::Result
LeastSquaresRefinement::refine(int method, const QVector<double> &x, const QVector<double> &y,
                               const QVector<double> &dy, double A0, double Fc0,
                               cAbstractRegressCalculation::Monitor *monitor, int held)
{
    Result result;
    Problem problem{method, {}, {}, {}, monitor};
    problem.held = held;
    problem.fixed[0] = A0;
    problem.fixed[1] = Fc0;
    const FitPoints points(x, y, dy, regressionmethods::isWeighted(method));
    const int last = points.weighted ? points.weightedCount : points.count;
    for (int i = 0; i < last; ++i) {
        if (points.weighted && !usableSpread(dy[i]))
            continue;
        problem.x.push_back(x[i]);
        problem.y.push_back(y[i]);
        problem.weight.push_back(points.weighted ? 1.0 / dy[i] : 1.0);
    }
    const int m = static_cast<int>(problem.x.size());
    const int n = held < 0 ? 2 : 1;
    if (m < n) {
        result.reason = QStringLiteral("needs at least %1 points").arg(n);
        return result;
    }
    if (!std::isfinite(A0) || !std::isfinite(Fc0) || Fc0 == 0) {
        result.reason = QStringLiteral("the fit gave no numbers to start from");
        return result;
    }

    double parameters[2] = {A0, Fc0};
    if (held == 0)
        parameters[0] = Fc0;
    std::vector<double> fvec(static_cast<size_t>(m));
    std::vector<double> fjac(static_cast<size_t>(m) * n);
    double diag[2] = {1, 1};
    double qtf[2];
    double wa1[2], wa2[2], wa3[2];
    std::vector<double> wa4(static_cast<size_t>(m));
    int ipvt[2];
    int nfev = 0;
    int njev = 0;
    // Tolerances at the limit of double precision: the search ends where no step can lower
    // S any more (lmder then says so with 6 or 7), not at some relative change.
    result.info = lmder(residuals, &problem, m, n, parameters, fvec.data(), fjac.data(), m, 1e-15,
                        1e-15, 0.0, maxEvaluations, diag, 1, 100.0, 0, &nfev, &njev, ipvt, qtf, wa1,
                        wa2, wa3, wa4.data());
    if (result.info < 0) {
        result.cancelled = !problem.notFinite;
        result.reason = problem.notFinite ? QStringLiteral("the residuals are not finite numbers")
                                          : QStringLiteral("cancelled");
        return result;
    }
    double A = held == 0 ? A0 : parameters[0];
    double Fc = held == 1 ? Fc0 : parameters[held == 0 ? 0 : 1];
    // The recombination curve of -Fc is that of -A: with A held, no positive Fc gives it.
    const bool turned = Fc < 0 && held == 0 && !regressionmethods::isIfBand(method);
    if (Fc < 0 && !turned) {
        Fc = -Fc;
        if (!regressionmethods::isIfBand(method))
            A = -A;
    }
    result.A = A;
    result.Fc = Fc;
    if (turned)
        result.reason = QStringLiteral("the points want the other sign of A");
    else if (result.info == 5)
        result.reason = QStringLiteral("no minimum within %1 evaluations").arg(maxEvaluations);
    else if (result.info == 0)
        result.reason = QStringLiteral("improper input");
    else if (!std::isfinite(A) || !std::isfinite(Fc) || Fc == 0)
        result.reason = QStringLiteral("the minimum is not a number");
    result.found = result.reason.isEmpty();
    return result;
}
