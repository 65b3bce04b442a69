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
    bool notFinite = false;
};

// lmder's callback: the weighted residuals (iflag 1) or their Jacobian, column-major (iflag 2).
// A negative return stops the search: on a cancel, or on residuals that are not numbers.
int residuals(void *p, int m, int, const double *parameters, double *fvec, double *fjac, int ldfjac,
              int iflag)
{
    auto *problem = static_cast<Problem *>(p);
    if (problem->monitor) {
        problem->monitor->refinementEvaluations.fetch_add(1, std::memory_order_relaxed);
        if (problem->monitor->cancel.load(std::memory_order_relaxed))
            return -1;
    }
    const double A = parameters[0];
    const double Fc = parameters[1];
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
        } else {
            fjac[i] = dA * w;
            fjac[i + ldfjac] = dFc * w;
        }
    }
    return 0;
}

} // namespace

LeastSquaresRefinement::Result
LeastSquaresRefinement::refine(int method, const QVector<double> &x, const QVector<double> &y,
                               const QVector<double> &dy, double A0, double Fc0,
                               cAbstractRegressCalculation::Monitor *monitor)
{
    Result result;
    Problem problem{method, {}, {}, {}, monitor};
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
    if (m < 2) {
        result.reason = QStringLiteral("needs at least 2 points");
        return result;
    }
    if (!std::isfinite(A0) || !std::isfinite(Fc0) || Fc0 == 0) {
        result.reason = QStringLiteral("the fit gave no numbers to start from");
        return result;
    }

    const int n = 2;
    double parameters[n] = {A0, Fc0};
    std::vector<double> fvec(static_cast<size_t>(m));
    std::vector<double> fjac(static_cast<size_t>(m) * n);
    double diag[n] = {1, 1};
    double qtf[n];
    double wa1[n], wa2[n], wa3[n];
    std::vector<double> wa4(static_cast<size_t>(m));
    int ipvt[n];
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
    double A = parameters[0];
    double Fc = parameters[1];
    if (Fc < 0) {
        Fc = -Fc;
        if (!regressionmethods::isIfBand(method))
            A = -A;
    }
    result.A = A;
    result.Fc = Fc;
    if (result.info == 5)
        result.reason = QStringLiteral("no minimum within %1 evaluations").arg(maxEvaluations);
    else if (result.info == 0)
        result.reason = QStringLiteral("improper input");
    else if (!std::isfinite(A) || !std::isfinite(Fc) || Fc == 0)
        result.reason = QStringLiteral("the minimum is not a number");
    result.found = result.reason.isEmpty();
    return result;
}
