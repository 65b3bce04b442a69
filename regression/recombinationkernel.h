#ifndef RECOMBINATIONKERNEL_H
#define RECOMBINATIONKERNEL_H

#include "regression/fitpoints.h"

// The passes over the points of the recombination-time fit. objective and direction give bit
// for bit the sums that the classes define (same operations in the same order, summed point by
// point); they only spread the work so that the compiler can run it on several points at
// once, and split the objective from the direction so that one pass can serve both.
class RecombinationKernel
{
public:
    // Where a quick look puts the objective relative to a bound.
    enum Side
    {
        Below,
        Above,
        Unknown
    };

    explicit RecombinationKernel(const FitPoints &points) : p(points) {}

    // The model changes sign with Fc, so the objective at -Fc differs from the one at Fc.
    static constexpr bool evenInFc = false;

    // The objective at (A, Fc). When modelValues is not null it receives the count model
    // values m_i, which direction() needs.
    double objective(double A, double Fc, double *modelValues) const;

    // gradientA and gradientFc at (A, Fc) from the model values of an objective pass there.
    void direction(double A, double Fc, const double *modelValues, double &gA, double &gF) const;

    // The exact pass is about as quick as any estimate could be, so there is no quick look.
    Side side(double, double, double) const { return Unknown; }

private:
    const FitPoints &p;
};

#endif // RECOMBINATIONKERNEL_H
