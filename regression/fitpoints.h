#ifndef FITPOINTS_H
#define FITPOINTS_H

#include <QVector>

#include <cmath>

// The hot loops of the fit are compiled twice on x86-64 Linux with GCC, once for the baseline
// instruction set and once for AVX2, and the loader picks the one the processor runs. Both
// give the same bits: the loops use only operations that IEEE arithmetic rounds exactly
// (no fused multiply-add, no reordered sums). VANTOREL_FIT_BASELINE_ONLY keeps the baseline
// alone, so that the tests can check it on any processor.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) &&       \
    !defined(VANTOREL_FIT_BASELINE_ONLY)
#define VANTOREL_FIT_KERNEL __attribute__((target_clones("avx2", "default")))
#else
#define VANTOREL_FIT_KERNEL
#endif

// The helpers of those loops must be compiled into each of them, not called from outside.
#if defined(__GNUC__)
#define VANTOREL_FIT_INLINE inline __attribute__((always_inline))
#else
#define VANTOREL_FIT_INLINE inline
#endif

// A spread gives its point a weight only when it is finite and not 0; a weighted objective
// leaves the other points out.
inline bool usableSpread(double dy)
{
    return dy != 0 && std::isfinite(dy);
}

// ln 10, which turns the natural logarithms of the fit into the decimal ones of the IF band.
constexpr double ln10 = 2.302585092994046;

// Points are handled in blocks: the per-point arithmetic runs over a whole block at once (the
// compiler spreads it over vector lanes, which changes no bit), the sums then run point by
// point in the original order.
constexpr int fitBlockSize = 256;

// The weighted terms of a block: each residual divided by its dY, squared; 0 for a point whose
// dY gives it no weight (adding that 0 to a sum of squares changes no bit).
VANTOREL_FIT_INLINE void weightedTerms(const double *__restrict residual,
                                       const double *__restrict dy, int len,
                                       double *__restrict term)
{
    double square[fitBlockSize];
    for (int j = 0; j < len; ++j) {
        const double q = residual[j] / dy[j];
        square[j] = q * q;
    }
    for (int j = 0; j < len; ++j)
        term[j] = ((dy[j] != 0.0) & (dy[j] - dy[j] == 0.0)) ? square[j] : 0.0;
}

// The points one objective or direction pass reads, as plain arrays. The vectors must outlive
// this view and stay unchanged while it is used.
class FitPoints
{
public:
    // weighted asks for the weighted objective; it is in effect only when at least one of the
    // points that have a dY carries a usable one, and is the unweighted objective otherwise.
    FitPoints(const QVector<double> &x, const QVector<double> &y, const QVector<double> &dy,
              bool weighted);

    const double *x;
    const double *y;
    const double *dy;
    // Points that have X and Y: the unweighted objective and both direction components.
    int count;
    // Points that have X, Y and dY: the weighted objective.
    int weightedCount;
    bool weighted;
};

#endif // FITPOINTS_H
