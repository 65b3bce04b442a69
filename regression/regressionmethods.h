#ifndef REGRESSIONMETHODS_H
#define REGRESSIONMETHODS_H

#include <memory>

#include "regression/cabstractregresscalculation.h"

// The fit methods by their index in the method list of the calculation panel:
// 0 IF band, 1 IF band weighted, 2 recombination time, 3 recombination time weighted.
namespace regressionmethods {

constexpr int count = 4;

// Whether the method weights each point by 1/dY², and whether it fits the IF band model.
constexpr bool isWeighted(int method)
{
    return method % 2 == 1;
}
constexpr bool isIfBand(int method)
{
    return method < 2;
}

// A new calculation object of the method's class; null for an index outside 0 to 3.
std::unique_ptr<cAbstractRegressCalculation> create(int method);

// The method's model at x: ifBandLevel for 0 and 1, recombinationResponse for 2 and 3.
double model(int method, double x, double A, double Fc);

} // namespace regressionmethods

#endif // REGRESSIONMETHODS_H
