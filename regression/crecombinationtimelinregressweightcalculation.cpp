#include "regression/crecombinationtimelinregressweightcalculation.h"

#include "regression/fitpoints.h"
#include "regression/recombinationkernel.h"

double cRecombinationTimeLinRegressWeightCalculation::residualSum(double A, double Fc) const
{
    const FitPoints points(m_xValues, m_yValues, m_dyValues, true);
    return RecombinationKernel(points).objective(A, Fc, nullptr);
}
