#include "regression/crecombinationtimelinregresscalculation.h"

#include <cmath>

#include "regression/crecombinationtimelinregressweightcalculation.h"
#include "regression/fitevaluators.h"
#include "regression/recombinationkernel.h"

double recombinationResponse(double x, double A, double Fc)
{
    const double u = x / Fc;
    const double s = std::sqrt(u * u + 1.0);
    return x * A / Fc / s;
}

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

double cRecombinationTimeLinRegressCalculation::findBound(double Smin, double A, double c,
                                                          double d) const
{
    PlainEvaluator<cRecombinationTimeLinRegressCalculation> evaluator(*this);
    return descentsearch::findBound(evaluator, Smin, A, c, d);
}
