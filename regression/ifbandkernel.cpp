#include "regression/ifbandkernel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

VANTOREL_FIT_KERNEL double objectivePass(const FitPoints &p, double A, double Fc, double *residuals)
{
    double scratch[fitBlockSize];
    double level[fitBlockSize];
    double term[fitBlockSize];
    double sum = 0;
    for (int i = 0; i < p.count; i += fitBlockSize) {
        const int len = std::min(fitBlockSize, p.count - i);
        const double *__restrict x = p.x + i;
        const double *__restrict y = p.y + i;
        double *__restrict r = residuals ? residuals + i : scratch;
        for (int j = 0; j < len; ++j) {
            const double u = x[j] / Fc;
            level[j] = u * u + 1.0;
        }
        if (!p.weighted) {
            for (int j = 0; j < len; ++j) {
                const double rj = A - 10.0 * std::log10(level[j]) - y[j];
                r[j] = rj;
                sum += rj * rj;
            }
            continue;
        }
        for (int j = 0; j < len; ++j)
            r[j] = A - 10.0 * std::log10(level[j]) - y[j];
        const int weightedLen = std::max(0, std::min(len, p.weightedCount - i));
        if (weightedLen > 0)
            weightedTerms(r, p.dy + i, weightedLen, term);
        std::fill(term + weightedLen, term + len, 0.0);
        for (int j = 0; j < len; ++j)
            sum += term[j];
    }
    return sum;
}

VANTOREL_FIT_KERNEL void directionPass(const FitPoints &p, double Fc, const double *residuals,
                                       double &gA, double &gF)
{
    const double Fc2 = Fc * Fc;
    const double FcLn10 = Fc * ln10;
    double term[fitBlockSize];
    double sumA = 0;
    double sumF = 0;
    for (int i = 0; i < p.count; i += fitBlockSize) {
        const int len = std::min(fitBlockSize, p.count - i);
        const double *x = p.x + i;
        const double *r = residuals + i;
        for (int j = 0; j < len; ++j) {
            const double x2 = x[j] * x[j];
            term[j] = r[j] * 20 * x2 / ((x2 + Fc2) * FcLn10);
        }
        for (int j = 0; j < len; ++j) {
            sumA += r[j];
            sumF += term[j];
        }
    }
    gA = sumA;
    gF = sumF;
}

inline double fromBits(std::uint64_t bits)
{
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

inline std::uint64_t toBits(double d)
{
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

// log10 a = (e ln 2 + ln m) / ln 10 with a = m 2^e, m in [1, 2); ln m = ln sqrt2 + 2 atanh z
// with z = (m - sqrt2) / (m + sqrt2), |z| < 0.1716, from eight terms of the atanh series
// (the first term left out changes the result by less than 5e-15). No branches, so the
// compiler can run it over several points at once.
VANTOREL_FIT_INLINE double quickLog10Inline(double a)
{
    const std::uint64_t bits = toBits(a);
    const double e = fromBits((bits >> 52) | 0x4330000000000000ull) - (4503599627370496.0 + 1023.0);
    const double m = fromBits((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    const double sqrt2 = 1.4142135623730951;
    const double z = (m - sqrt2) / (m + sqrt2);
    const double z2 = z * z;
    double s = z2 * (1.0 / 15) + 1.0 / 13;
    s = s * z2 + 1.0 / 11;
    s = s * z2 + 1.0 / 9;
    s = s * z2 + 1.0 / 7;
    s = s * z2 + 1.0 / 5;
    s = s * z2 + 1.0 / 3;
    s = s * z2 + 1.0;
    const double ln2 = 0.6931471805599453;
    const double lnSqrt2 = 0.34657359027997264;
    return (e * ln2 + (lnSqrt2 + 2.0 * z * s)) * (1.0 / ln10);
}

// The quick objective adds its terms, and bounds on how far each exact term can be from its
// quick one, into one running total per position in the block; the order of additions does
// not matter here, since the bound on the sum covers any order.
struct Estimate
{
    double term[fitBlockSize];
    double err[fitBlockSize];
};

// One block of the quick objective. gap bounds the distance between the quick and the exact
// residual: 10 times the distance between the quick and the library logarithm (taken as
// 1e-13 * (1 + l), far above both errors, which also covers X / Fc taken as X times 1 / Fc)
// plus the rounding of the three operations of either computation. A logarithm argument above
// about 1e300 (or not finite) makes the gap NaN, so the answer is Unknown: near the top of the
// range the two computations might overflow differently.
VANTOREL_FIT_INLINE void estimateBlock(const double *__restrict x, const double *__restrict y,
                                       const double *__restrict dy, int len, int weightedLen,
                                       bool weighted, double A, double Fc, Estimate &total)
{
    const double invFc = 1.0 / Fc;
    const double gap0 = 1e-12 + 7e-16 * std::fabs(A);
    const double gap1 = 1e-12 + 7e-15;
    double res[fitBlockSize];
    double gap[fitBlockSize];
    for (int j = 0; j < len; ++j) {
        const double u = x[j] * invFc;
        const double a = u * u + 1.0;
        const double l = quickLog10Inline(a);
        res[j] = A - 10.0 * l - y[j];
        const double huge = a * 1e8;
        gap[j] = gap0 + gap1 * l + 7e-16 * std::fabs(y[j]) + (huge - huge);
    }
    if (!weighted) {
        for (int j = 0; j < len; ++j) {
            const double R = std::fabs(res[j]) + gap[j];
            total.term[j] += res[j] * res[j];
            total.err[j] += R * (2.0 * gap[j] + 2.3e-16 * R);
        }
        return;
    }
    // Divided by dY (here: times 1 / dY), the residual gap shrinks by |dY| and gains the
    // rounding of the divisions.
    double term[fitBlockSize];
    double err[fitBlockSize];
    for (int j = 0; j < weightedLen; ++j) {
        const double inv = 1.0 / dy[j];
        const double q = res[j] * inv;
        const double dq = (gap[j] + 4.5e-16 * (std::fabs(res[j]) + gap[j])) * std::fabs(inv);
        const double Q = std::fabs(q) + dq;
        term[j] = q * q;
        err[j] = Q * (2.0 * dq + 2.3e-16 * Q);
    }
    for (int j = 0; j < weightedLen; ++j) {
        const bool use = (dy[j] != 0.0) & (dy[j] - dy[j] == 0.0);
        term[j] = use ? term[j] : 0.0;
        err[j] = use ? err[j] : 0.0;
    }
    for (int j = 0; j < weightedLen; ++j) {
        total.term[j] += term[j];
        total.err[j] += err[j];
    }
}

VANTOREL_FIT_KERNEL void estimatePass(const FitPoints &p, double A, double Fc, double &estimate,
                                      double &error)
{
    // Only as many running totals as the first block has points are used.
    const int used = std::min(fitBlockSize, p.count);
    Estimate total;
    std::fill(total.term, total.term + used, 0.0);
    std::fill(total.err, total.err + used, 0.0);
    for (int i = 0; i < p.count; i += fitBlockSize) {
        const int len = std::min(fitBlockSize, p.count - i);
        const int weightedLen = p.weighted ? std::max(0, std::min(len, p.weightedCount - i)) : 0;
        estimateBlock(p.x + i, p.y + i, weightedLen > 0 ? p.dy + i : nullptr, len, weightedLen,
                      p.weighted, A, Fc, total);
    }
    double partTerm[4] = {0, 0, 0, 0};
    double partErr[4] = {0, 0, 0, 0};
    for (int j = 0; j < used; ++j) {
        partTerm[j & 3] += total.term[j];
        partErr[j & 3] += total.err[j];
    }
    estimate = (partTerm[0] + partTerm[1]) + (partTerm[2] + partTerm[3]);
    error = (partErr[0] + partErr[1]) + (partErr[2] + partErr[3]);
}

} // namespace

double IfBandKernel::objective(double A, double Fc, double *residuals) const
{
    return objectivePass(p, A, Fc, residuals);
}

void IfBandKernel::direction(double, double Fc, const double *residuals, double &gA,
                             double &gF) const
{
    directionPass(p, Fc, residuals, gA, gF);
}

// The exact sum adds the exact terms one by one, the quick one adds the quick terms in another
// order; each sum of n non-negative terms is within about n * 1.1e-16 of its exact value, so
// the two sums differ by at most the sum of the term gaps plus that much of both. Twice that
// is the margin, plus a little for results that underflow. Sums near the top of the range are
// left to the exact pass, which might overflow where the quick one does not.
IfBandKernel::Side IfBandKernel::side(double A, double Fc, double bound) const
{
    double estimate = 0;
    double error = 0;
    estimatePass(p, A, Fc, estimate, error);
    const double margin =
        2.0 * (error + 2.3e-16 * (p.count + 2) * (2.0 * estimate + error)) + 1e-300 * (p.count + 1);
    if (!(estimate + margin < 1e300))
        return Unknown;
    if (estimate - margin > bound)
        return Above;
    if (estimate + margin < bound)
        return Below;
    return Unknown;
}

double IfBandKernel::quickLog10(double a)
{
    return quickLog10Inline(a);
}
