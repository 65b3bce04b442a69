#include "regression/crecombinationtimelinregresscalculation.h"

#include "regression/crecombinationtimelinregressweightcalculation.h"
#include "regression/fitevaluators.h"
#include "regression/recombinationkernel.h"

void cRecombinationTimeLinRegressCalculation::initParameters()
{
    setStartingValues();
}

void cRecombinationTimeLinRegressCalculation::minimize()
{
    double A = 0;
    double Fc = 0;
    startingPair(A, Fc);
    m_parameters = searchFamily<RecombinationKernel, cRecombinationTimeLinRegressWeightCalculation>(
        *this, m_xValues, m_yValues, m_dyValues, A, Fc, &m_outcome, m_monitor);
}

double cRecombinationTimeLinRegressCalculation::residualSum(double A, double Fc) const
{
    const FitPoints points(m_xValues, m_yValues, m_dyValues, false);
    return RecombinationKernel(points).objective(A, Fc, nullptr);
}

double cRecombinationTimeLinRegressCalculation::gradientA(double A, double Fc) const
{
    double gA = 0;
    double gF = 0;
    kernelDirection<RecombinationKernel>(FitPoints(m_xValues, m_yValues, m_dyValues, false), A, Fc,
                                         gA, gF);
    return gA;
}

double cRecombinationTimeLinRegressCalculation::gradientFc(double A, double Fc) const
{
    double gA = 0;
    double gF = 0;
    kernelDirection<RecombinationKernel>(FitPoints(m_xValues, m_yValues, m_dyValues, false), A, Fc,
                                         gA, gF);
    return gF;
}
