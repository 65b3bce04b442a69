#include "regression/cifbandlogregressweightcalculation.h"

#include "regression/fitpoints.h"
#include "regression/ifbandkernel.h"

double cIfBandLogRegressWeightCalculation::residualSum(double A, double Fc) const
{
    const FitPoints points(m_xValues, m_yValues, m_dyValues, true);
    return IfBandKernel(points).objective(A, Fc, nullptr);
}
