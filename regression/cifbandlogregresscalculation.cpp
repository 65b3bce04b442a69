#include "regression/cifbandlogregresscalculation.h"

#include <cmath>
#include <typeinfo>
#include <vector>

#include "regression/cifbandlogregressweightcalculation.h"
#include "regression/descentsearch.h"
#include "regression/fitevaluators.h"
#include "regression/ifbandkernel.h"

double ifBandLevel(double x, double A, double Fc)
{
    const double u = x / Fc;
    return A - 10.0 * std::log10(u * u + 1.0);
}

void cIfBandLogRegressCalculation::initParameters()
{
    setStartingValues();
}

// The two classes of this family have objectives the kernel knows, and run the search through
// it. Any other class derived from them may define residualSum anew, so it gets the search
// through its own virtual operations, which changes the objective of the whole search.
void cIfBandLogRegressCalculation::minimize()
{
    double A = 0;
    double Fc = 0;
    startingPair(A, Fc);
    const std::type_info &type = typeid(*this);
    const bool weighted = type == typeid(cIfBandLogRegressWeightCalculation);
    if (weighted || type == typeid(cIfBandLogRegressCalculation)) {
        const FitPoints points(m_xValues, m_yValues, m_dyValues, weighted);
        FastEvaluator<IfBandKernel> evaluator(points);
        m_parameters = descentsearch::minimize(evaluator, A, Fc);
    } else {
        PlainEvaluator<cIfBandLogRegressCalculation> evaluator(*this);
        m_parameters = descentsearch::minimize(evaluator, A, Fc);
    }
}

double cIfBandLogRegressCalculation::residualSum(double A, double Fc) const
{
    const FitPoints points(m_xValues, m_yValues, m_dyValues, false);
    return IfBandKernel(points).objective(A, Fc, nullptr);
}

double cIfBandLogRegressCalculation::gradientA(double A, double Fc) const
{
    const FitPoints points(m_xValues, m_yValues, m_dyValues, false);
    const IfBandKernel kernel(points);
    std::vector<double> residuals(static_cast<std::size_t>(points.count));
    kernel.objective(A, Fc, residuals.data());
    double gA = 0;
    double gF = 0;
    kernel.direction(A, Fc, residuals.data(), gA, gF);
    return gA;
}

double cIfBandLogRegressCalculation::gradientFc(double A, double Fc) const
{
    const FitPoints points(m_xValues, m_yValues, m_dyValues, false);
    const IfBandKernel kernel(points);
    std::vector<double> residuals(static_cast<std::size_t>(points.count));
    kernel.objective(A, Fc, residuals.data());
    double gA = 0;
    double gF = 0;
    kernel.direction(A, Fc, residuals.data(), gA, gF);
    return gF;
}

double cIfBandLogRegressCalculation::findBound(double Smin, double A, double c, double d) const
{
    PlainEvaluator<cIfBandLogRegressCalculation> evaluator(*this);
    return descentsearch::findBound(evaluator, Smin, A, c, d);
}
