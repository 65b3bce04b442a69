#include "regression/cifbandlogregresscalculation.h"

#include "regression/cifbandlogregressweightcalculation.h"
#include "regression/fitevaluators.h"
#include "regression/ifbandkernel.h"

void cIfBandLogRegressCalculation::initParameters()
{
    setStartingValues();
}

void cIfBandLogRegressCalculation::minimize()
{
    double A = 0;
    double Fc = 0;
    startingPair(A, Fc);
    m_parameters = searchFamily<IfBandKernel, cIfBandLogRegressWeightCalculation>(
        *this, m_xValues, m_yValues, m_dyValues, A, Fc, &m_outcome, m_monitor);
}

double cIfBandLogRegressCalculation::residualSum(double A, double Fc) const
{
    const FitPoints points(m_xValues, m_yValues, m_dyValues, false);
    return IfBandKernel(points).objective(A, Fc, nullptr);
}

double cIfBandLogRegressCalculation::gradientA(double A, double Fc) const
{
    double gA = 0;
    double gF = 0;
    kernelDirection<IfBandKernel>(FitPoints(m_xValues, m_yValues, m_dyValues, false), A, Fc, gA,
                                  gF);
    return gA;
}

double cIfBandLogRegressCalculation::gradientFc(double A, double Fc) const
{
    double gA = 0;
    double gF = 0;
    kernelDirection<IfBandKernel>(FitPoints(m_xValues, m_yValues, m_dyValues, false), A, Fc, gA,
                                  gF);
    return gF;
}
