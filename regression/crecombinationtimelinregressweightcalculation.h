#ifndef CRECOMBINATIONTIMELINREGRESSWEIGHTCALCULATION_H
#define CRECOMBINATIONTIMELINREGRESSWEIGHTCALCULATION_H

#include "regression/crecombinationtimelinregresscalculation.h"

// Method "RecTime; 1-LogScale; +Weight": the recombination-time fit with each point weighted by
// 1 / dY². The descent still moves along the unweighted direction; the weights decide which
// steps are taken and where the bounds lie.
class cRecombinationTimeLinRegressWeightCalculation : public cRecombinationTimeLinRegressCalculation
{
public:
    // The sum of squared residuals, each divided by its dY. A point whose dY is 0 or not finite
    // has no defined weight and is left out; when no point has a usable dY the objective is the
    // unweighted one, as if all dY were equal.
    double residualSum(double A, double Fc) const override;
};

#endif // CRECOMBINATIONTIMELINREGRESSWEIGHTCALCULATION_H
