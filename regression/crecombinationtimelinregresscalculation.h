#ifndef CRECOMBINATIONTIMELINREGRESSCALCULATION_H
#define CRECOMBINATIONTIMELINREGRESSCALCULATION_H

#include "regression/cabstractregresscalculation.h"

// The recombination-time response at x: A * u / sqrt(1 + u²) with u = x / Fc; 0 at x = 0,
// A / sqrt 2 at x = Fc, close to A * x / Fc far below Fc and to A far above it. Odd in x and
// in Fc. Defined once, with its derivatives, in regressionmethods.cpp, so that every caller
// gets the same bits.
double recombinationResponse(double x, double A, double Fc);

// Method "RecTime; 1-LogScale;": fits the recombination-time response to Y on a linear scale,
// every point alike, with the same search as the IF band fit.
class cRecombinationTimeLinRegressCalculation : public cAbstractRegressCalculation
{
public:
    void initParameters() override;
    void minimize() override;

    // The objective the search minimizes: the sum of squared residuals.
    virtual double residualSum(double A, double Fc) const;

    // The descent direction at (A, Fc): the partial derivatives of the unweighted sum of
    // squares, also for the weighted method; only their direction is used.
    double gradientA(double A, double Fc) const;
    double gradientFc(double A, double Fc) const;
};

#endif // CRECOMBINATIONTIMELINREGRESSCALCULATION_H
