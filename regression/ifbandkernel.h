#ifndef IFBANDKERNEL_H
#define IFBANDKERNEL_H

#include "regression/fitpoints.h"

// The passes over the points of the IF band fit. objective and direction give bit for bit the
// sums that the classes define (same operations in the same order, summed point by point);
// they only spread the work so that the compiler can run the parts without a logarithm on
// several points at once, and split the objective from the direction so that one pass can
// serve both.
class IfBandKernel
{
public:
    // Where a quick look puts the objective relative to a bound.
    enum Side
    {
        Below,
        Above,
        Unknown
    };

    explicit IfBandKernel(const FitPoints &points) : p(points) {}

    // The model depends on Fc only through its square, so the objective and the residuals at
    // -Fc are those at Fc, bit for bit.
    static constexpr bool evenInFc = true;

    // The objective at (A, Fc). When residuals is not null it receives the count residuals
    // m_i - y_i, which direction() needs.
    double objective(double A, double Fc, double *residuals) const;

    // gradientA and gradientFc at (A, Fc) from the residuals of an objective pass at (A, Fc) or
    // (A, -Fc); A itself is not needed.
    void direction(double A, double Fc, const double *residuals, double &gA, double &gF) const;

    // Tells, without a single library logarithm, whether the objective at (A, Fc) is certainly
    // above or certainly below bound: it computes the objective with a quick logarithm and a
    // strict bound on how far that can be from the exact sum, and answers Unknown when the
    // bound straddles the bound, or when anything is not finite.
    Side side(double A, double Fc, double bound) const;

    // The quick decimal logarithm side() uses, for a >= 1: within 1e-14 * (1 + log10 a) of the
    // exact value.
    static double quickLog10(double a);

private:
    const FitPoints &p;
};

#endif // IFBANDKERNEL_H
