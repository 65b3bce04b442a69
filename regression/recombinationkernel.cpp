#include "regression/recombinationkernel.h"

#include <algorithm>

namespace {

VANTOREL_FIT_KERNEL double objectivePass(const FitPoints &p, double A, double Fc,
                                         double *modelValues)
{
    double scratch[fitBlockSize];
    double residual[fitBlockSize];
    double term[fitBlockSize];
    double sum = 0;
    for (int i = 0; i < p.count; i += fitBlockSize) {
        const int len = std::min(fitBlockSize, p.count - i);
        const double *x = p.x + i;
        const double *y = p.y + i;
        double *m = modelValues ? modelValues + i : scratch;
        for (int j = 0; j < len; ++j) {
            const double u = x[j] / Fc;
            const double s = std::sqrt(u * u + 1.0);
            m[j] = x[j] * A / Fc / s;
        }
        for (int j = 0; j < len; ++j)
            residual[j] = m[j] - y[j];
        if (!p.weighted) {
            for (int j = 0; j < len; ++j)
                term[j] = residual[j] * residual[j];
        } else {
            const int weightedLen = std::max(0, std::min(len, p.weightedCount - i));
            if (weightedLen > 0)
                weightedTerms(residual, p.dy + i, weightedLen, term);
            std::fill(term + weightedLen, term + len, 0.0);
        }
        for (int j = 0; j < len; ++j)
            sum += term[j];
    }
    return sum;
}

// Both sums take m_i (m_i - y_i); the one for Fc multiplies it by (m_i / A)^2 - 1.
VANTOREL_FIT_KERNEL void directionPass(const FitPoints &p, double A, double Fc, const double *m,
                                       double &gA, double &gF)
{
    double termA[fitBlockSize];
    double termF[fitBlockSize];
    double sumA = 0;
    double sumF = 0;
    for (int i = 0; i < p.count; i += fitBlockSize) {
        const int len = std::min(fitBlockSize, p.count - i);
        const double *y = p.y + i;
        const double *mi = m + i;
        for (int j = 0; j < len; ++j) {
            const double mr = mi[j] * (mi[j] - y[j]);
            const double ratio = mi[j] / A;
            termA[j] = mr;
            termF[j] = mr * (ratio * ratio - 1);
        }
        for (int j = 0; j < len; ++j) {
            sumA += termA[j];
            sumF += termF[j];
        }
    }
    gA = 2 * sumA / A;
    gF = 2 * sumF / Fc;
}

} // namespace

double RecombinationKernel::objective(double A, double Fc, double *modelValues) const
{
    return objectivePass(p, A, Fc, modelValues);
}

void RecombinationKernel::direction(double A, double Fc, const double *modelValues, double &gA,
                                    double &gF) const
{
    directionPass(p, A, Fc, modelValues, gA, gF);
}
