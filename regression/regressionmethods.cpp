#include "regression/regressionmethods.h"

#include <cmath>

#include "regression/cifbandlogregresscalculation.h"
#include "regression/cifbandlogregressweightcalculation.h"
#include "regression/crecombinationtimelinregresscalculation.h"
#include "regression/crecombinationtimelinregressweightcalculation.h"
#include "regression/fitevaluators.h"
#include "regression/ifbandkernel.h"
#include "regression/recombinationkernel.h"

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

namespace regressionmethods {

std::unique_ptr<cAbstractRegressCalculation> create(int method)
{
    switch (method) {
    case 0:
        return std::make_unique<cIfBandLogRegressCalculation>();
    case 1:
        return std::make_unique<cIfBandLogRegressWeightCalculation>();
    case 2:
        return std::make_unique<cRecombinationTimeLinRegressCalculation>();
    case 3:
        return std::make_unique<cRecombinationTimeLinRegressWeightCalculation>();
    default:
        return nullptr;
    }
}

double model(int method, double x, double A, double Fc)
{
    return isIfBand(method) ? ifBandLevel(x, A, Fc) : recombinationResponse(x, A, Fc);
}

// The derivatives are written with u = x / Fc through r = u / sqrt(1 + u^2) and
// p = 1 / (1 + u^2), which stay finite and lose no digits for any u:
//   IF band:       dm/dA = 1, dm/dFc = 20 / ln 10 * u^2 / (1 + u^2) / Fc
//                  (= 20 x^2 / ((x^2 + Fc^2) Fc ln 10));
//   recombination: dm/dA = u / sqrt(1 + u^2), dm/dFc = -A u / (Fc (1 + u^2)^(3/2)),
//                  since d/du [u (1 + u^2)^(-1/2)] = (1 + u^2)^(-3/2) and du/dFc = -u / Fc.
double modelWithDerivatives(int method, double x, double A, double Fc, double &dA, double &dFc)
{
    const double u = x / Fc;
    const double s = std::hypot(1.0, u);
    const double r = u / s;
    const double p = (1.0 / s) * (1.0 / s);
    if (isIfBand(method)) {
        dA = 1;
        dFc = 20.0 / ln10 * (r * r) / Fc;
    } else {
        dA = r;
        dFc = -A * (r * p) / Fc;
    }
    return model(method, x, A, Fc);
}

namespace {

template <class Kernel> double kernelObjective(const FitPoints &points, double A, double Fc)
{
    return Kernel(points).objective(A, Fc, nullptr);
}

template <class Kernel>
void kernelBounds(const FitPoints &points, double A, double Fc, Bounds &b, bool search)
{
    FastEvaluator<Kernel> evaluator(points);
    const double Smin = evaluator.objective(A, Fc);
    if (search) {
        b.Fb = descentsearch::findBound(evaluator, Smin, A, 0.01 * Fc, Fc);
        b.Ft = descentsearch::findBound(evaluator, Smin, A, Fc, 2 * Fc);
    }
    const double T = Smin + Smin;
    b.fbFound = evaluator.objective(A, 0.01 * Fc) > T;
    b.ftFound = evaluator.objective(A, 2 * Fc) > T;
}

} // namespace

double objective(int method, const QVector<double> &x, const QVector<double> &y,
                 const QVector<double> &dy, double A, double Fc)
{
    const FitPoints points(x, y, dy, isWeighted(method));
    return isIfBand(method) ? kernelObjective<IfBandKernel>(points, A, Fc)
                            : kernelObjective<RecombinationKernel>(points, A, Fc);
}

Bounds bounds(int method, const QVector<double> &x, const QVector<double> &y,
              const QVector<double> &dy, double A, double Fc)
{
    Bounds b;
    const FitPoints points(x, y, dy, isWeighted(method));
    if (isIfBand(method))
        kernelBounds<IfBandKernel>(points, A, Fc, b, true);
    else
        kernelBounds<RecombinationKernel>(points, A, Fc, b, true);
    return b;
}

void checkBounds(int method, const QVector<double> &x, const QVector<double> &y,
                 const QVector<double> &dy, double A, double Fc, Bounds &b)
{
    const FitPoints points(x, y, dy, isWeighted(method));
    if (isIfBand(method))
        kernelBounds<IfBandKernel>(points, A, Fc, b, false);
    else
        kernelBounds<RecombinationKernel>(points, A, Fc, b, false);
}

} // namespace regressionmethods
