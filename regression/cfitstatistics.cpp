#include "regression/cfitstatistics.h"

#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <cmath>

#include "regression/fitpoints.h"
#include "regression/regressionmethods.h"

namespace {

// A sum with a running correction for the rounding of each addition (Neumaier), so that the
// sum of n terms is within a few roundings of its exact value however large n is.
class CompensatedSum
{
public:
    void add(double term)
    {
        const double total = m_sum + term;
        m_correction +=
            std::fabs(m_sum) >= std::fabs(term) ? (m_sum - total) + term : (term - total) + m_sum;
        m_sum = total;
    }
    double value() const { return m_sum + m_correction; }

private:
    double m_sum = 0;
    double m_correction = 0;
};

// Below this, 1 - rho^2 (rho the correlation of the two weighted columns of J) is not told
// apart from 0. The sums of J^T W J are compensated, so each is within a few roundings of the
// value for the computed derivatives, and rho within about 1e-15 of its value for them; that
// moves 1 - rho^2 by about 4e-15, which at 1e-10 changes the standard errors by less than
// 1e-4 of themselves. Closer to 0 the columns are parallel to within 1e-5 rad: the points do
// not tell a change of A from one of Fc.
const double smallestDeterminant = 1e-10;

} // namespace

int cFitStatistics::usedPoints(int method, const QVector<double> &x, const QVector<double> &y,
                               const QVector<double> &dy)
{
    if (method < 0 || method >= regressionmethods::count)
        return 0;
    const FitPoints points(x, y, dy, regressionmethods::isWeighted(method));
    if (!points.weighted)
        return points.count;
    return static_cast<int>(
        std::count_if(points.dy, points.dy + points.weightedCount, usableSpread));
}

// One pass over the used points sums the objective exactly as the fit classes do (the same
// operations, point by point in their order, a skipped point adding nothing), so that it is
// their residualSum to the bit, and the weighted rows of J into J^T W J. The 2 x 2 matrix is
// then scaled to unit diagonal, [[1, rho], [rho, 1]], before it is inverted, so that the very
// different sizes of the two columns cost no digits: the diagonal of the inverse is
// 1 / (a (1 - rho^2)) and 1 / (c (1 - rho^2)), a and c the diagonal of J^T W J.
// With one parameter held, the covariance of the other is 1 / (its diagonal of J^T W J).
cFitStatistics cFitStatistics::compute(int method, const QVector<double> &x,
                                       const QVector<double> &y, const QVector<double> &dy,
                                       double A, double Fc, Held held, bool absolute)
{
    cFitStatistics result; // says "needs at least 3 points" until more are found
    result.m_held = held;
    result.m_absolute = absolute;
    if (held != NoneHeld)
        result.m_reason = QStringLiteral("needs at least 2 points");
    if (method < 0 || method >= regressionmethods::count) {
        result.m_reason = QStringLiteral("no such fit method");
        return result;
    }
    const FitPoints points(x, y, dy, regressionmethods::isWeighted(method));
    const int last = points.weighted ? points.weightedCount : points.count;
    double sum = 0;
    CompensatedSum aa, ab, cc;
    for (int i = 0; i < last; ++i) {
        if (points.weighted && !usableSpread(dy[i]))
            continue;
        double dA = 0;
        double dFc = 0;
        const double residual =
            regressionmethods::modelWithDerivatives(method, x[i], A, Fc, dA, dFc) - y[i];
        if (points.weighted) {
            const double q = residual / dy[i];
            sum += q * q;
            dA /= dy[i];
            dFc /= dy[i];
        } else {
            sum += residual * residual;
        }
        aa.add(dA * dA);
        ab.add(dA * dFc);
        cc.add(dFc * dFc);
        result.m_residualX.append(x[i]);
        result.m_residuals.append(-residual);
        result.m_residualDy.append(
            i < points.weightedCount ? dy[i] : std::numeric_limits<double>::quiet_NaN());
    }
    result.m_points = result.m_residualX.size();
    result.m_objective = sum;

    if (result.degreesOfFreedom() <= 0)
        return result;
    if (!std::isfinite(A) || !std::isfinite(Fc) || Fc == 0) {
        result.m_reason = QStringLiteral("the model is not defined at these A and Fc");
        return result;
    }
    if (!std::isfinite(sum)) {
        result.m_reason = QStringLiteral("the residuals are not finite numbers");
        return result;
    }
    const double a = aa.value();
    const double b = ab.value();
    const double c = cc.value();
    const double variance = sum / result.degreesOfFreedom();
    const double scale = absolute ? 1.0 : variance;
    if (held != NoneHeld) {
        const double diagonal = held == AHeld ? c : a;
        if (!(diagonal > 0 && std::isfinite(diagonal))) {
            result.m_reason = QStringLiteral("the points do not depend on the free parameter");
            return result;
        }
        result.m_reducedChiSquare = variance;
        (held == AHeld ? result.m_sigmaFc : result.m_sigmaA) = std::sqrt(scale / diagonal);
        result.m_tQuantile = studentT95(result.degreesOfFreedom());
        result.m_reason.clear();
        return result;
    }
    // b / sqrt(a) is at most sqrt(c), so this cannot overflow where sqrt(a) * sqrt(c) might.
    const double rho = b / std::sqrt(a) / std::sqrt(c);
    const double determinant = (1.0 - rho) * (1.0 + rho);
    if (!(a > 0 && c > 0 && std::isfinite(a) && std::isfinite(c) &&
          determinant > smallestDeterminant)) {
        result.m_reason = QStringLiteral("the points cannot tell A and Fc apart");
        return result;
    }
    result.m_reducedChiSquare = variance;
    result.m_sigmaA = std::sqrt(scale / a / determinant);
    result.m_sigmaFc = std::sqrt(scale / c / determinant);
    // The off-diagonal of the inverse of [[1, rho], [rho, 1]] is -rho / (1 - rho^2).
    result.m_correlation = -rho;
    result.m_tQuantile = studentT95(result.degreesOfFreedom());
    result.m_reason.clear();
    return result;
}

double cFitStatistics::studentT95(int dof)
{
    if (dof < 1)
        return std::numeric_limits<double>::quiet_NaN();
    return boost::math::quantile(boost::math::students_t(dof), 0.975);
}
