#include "regression/regressionmethods.h"

#include "regression/cifbandlogregresscalculation.h"
#include "regression/cifbandlogregressweightcalculation.h"
#include "regression/crecombinationtimelinregresscalculation.h"
#include "regression/crecombinationtimelinregressweightcalculation.h"

namespace regressionmethods {

std::unique_ptr<cAbstractRegressCalculation> create(int method)
{
    switch (method) {
    case 0:
        return std::make_unique<cIfBandLogRegressCalculation>();
    case 1:
        return std::make_unique<cIfBandLogRegressWeightCalculation>();
    case 2:
        return std::make_unique<cRecombinationTimeLinRegressCalculation>();
    case 3:
        return std::make_unique<cRecombinationTimeLinRegressWeightCalculation>();
    default:
        return nullptr;
    }
}

double model(int method, double x, double A, double Fc)
{
    return isIfBand(method) ? ifBandLevel(x, A, Fc) : recombinationResponse(x, A, Fc);
}

} // namespace regressionmethods
