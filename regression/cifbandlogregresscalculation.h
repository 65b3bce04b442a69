#ifndef CIFBANDLOGREGRESSCALCULATION_H
#define CIFBANDLOGREGRESSCALCULATION_H

#include "regression/cabstractregresscalculation.h"

// The level of a single-pole IF band in dB at x: A for x = 0, A - 3.0103 at x = Fc, falling by
// 20 dB per decade far above Fc. X enters only squared. Defined once, with its
// derivatives, in regressionmethods.cpp, so that every caller gets the same bits.
double ifBandLevel(double x, double A, double Fc);

// Method "1-Time; 2-Log Scale": fits the IF band level to Y in dB, every point alike.
class cIfBandLogRegressCalculation : public cAbstractRegressCalculation
{
public:
    void initParameters() override;
    void minimize() override;

    // The objective the search minimizes: the sum of squared residuals in dB.
    virtual double residualSum(double A, double Fc) const;

    // The descent direction at (A, Fc): half the partial derivatives of the unweighted sum of
    // squares, also for the weighted method; only their direction is used.
    double gradientA(double A, double Fc) const;
    double gradientFc(double A, double Fc) const;
};

#endif // CIFBANDLOGREGRESSCALCULATION_H
