#include "regression/crecombinationtimelinregresscalculation.h"

#include <cmath>
#include <typeinfo>
#include <vector>

#include "regression/crecombinationtimelinregressweightcalculation.h"
#include "regression/descentsearch.h"
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

// The two classes of this family have objectives the kernel knows, and run the search through
// it. Any other class derived from them may define residualSum anew, so it gets the search
// through its own virtual operations, which changes the objective of the whole search.
void cRecombinationTimeLinRegressCalculation::minimize()
{
    double A = 0;
    double Fc = 0;
    startingPair(A, Fc);
    const std::type_info &type = typeid(*this);
    const bool weighted = type == typeid(cRecombinationTimeLinRegressWeightCalculation);
    if (weighted || type == typeid(cRecombinationTimeLinRegressCalculation)) {
        const FitPoints points(m_xValues, m_yValues, m_dyValues, weighted);
        FastEvaluator<RecombinationKernel> evaluator(points);
        m_parameters = descentsearch::minimize(evaluator, A, Fc);
    } else {
        PlainEvaluator<cRecombinationTimeLinRegressCalculation> evaluator(*this);
        m_parameters = descentsearch::minimize(evaluator, A, Fc);
    }
}

double cRecombinationTimeLinRegressCalculation::residualSum(double A, double Fc) const
{
    const FitPoints points(m_xValues, m_yValues, m_dyValues, false);
    return RecombinationKernel(points).objective(A, Fc, nullptr);
}

double cRecombinationTimeLinRegressCalculation::gradientA(double A, double Fc) const
{
    const FitPoints points(m_xValues, m_yValues, m_dyValues, false);
    const RecombinationKernel kernel(points);
    std::vector<double> modelValues(static_cast<std::size_t>(points.count));
    kernel.objective(A, Fc, modelValues.data());
    double gA = 0;
    double gF = 0;
    kernel.direction(A, Fc, modelValues.data(), gA, gF);
    return gA;
}

double cRecombinationTimeLinRegressCalculation::gradientFc(double A, double Fc) const
{
    const FitPoints points(m_xValues, m_yValues, m_dyValues, false);
    const RecombinationKernel kernel(points);
    std::vector<double> modelValues(static_cast<std::size_t>(points.count));
    kernel.objective(A, Fc, modelValues.data());
    double gA = 0;
    double gF = 0;
    kernel.direction(A, Fc, modelValues.data(), gA, gF);
    return gF;
}

double cRecombinationTimeLinRegressCalculation::findBound(double Smin, double A, double c,
                                                          double d) const
{
    PlainEvaluator<cRecombinationTimeLinRegressCalculation> evaluator(*this);
    return descentsearch::findBound(evaluator, Smin, A, c, d);
}
