#ifndef CIFBANDLOGREGRESSWEIGHTCALCULATION_H
#define CIFBANDLOGREGRESSWEIGHTCALCULATION_H

#include "regression/cifbandlogregresscalculation.h"

// Method "1-Time; 2-Log Scale; +Weight": the IF band fit with each point weighted by 1 / dY².
// The descent still moves along the unweighted direction; the weights decide which steps are
// taken and where the bounds lie.
class cIfBandLogRegressWeightCalculation : public cIfBandLogRegressCalculation
{
public:
    // The sum of squared residuals, each divided by its dY. A point whose dY is 0 or not finite
    // has no defined weight and is left out; when no point has a usable dY the objective is the
    // unweighted one, as if all dY were equal.
    double residualSum(double A, double Fc) const override;
};

#endif // CIFBANDLOGREGRESSWEIGHTCALCULATION_H
