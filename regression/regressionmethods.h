#ifndef REGRESSIONMETHODS_H
#define REGRESSIONMETHODS_H

#include <QVector>

#include <memory>

#include "regression/cabstractregresscalculation.h"

// The fit methods by their index in the method list of the calculation panel:
// 0 IF band, 1 IF band weighted, 2 recombination time, 3 recombination time weighted.
//
// The two models are defined here once, with their derivatives: the statistics, the
// refinement to the least-squares minimum and the plotted curve all use these; only the
// descent's tuned kernels keep their own arithmetic (checked against these by the tests).
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

// The model and its derivatives with respect to A and Fc at x.
double modelWithDerivatives(int method, double x, double A, double Fc, double &dA, double &dFc);

// The method's objective at (A, Fc): the class's residualSum to the bit.
double objective(int method, const QVector<double> &x, const QVector<double> &y,
                 const QVector<double> &dy, double A, double Fc);

// The bounds of Fc around a fitted pair, by the same bisection the fit classes use: where the
// objective, A held, has doubled, below Fc (searched from Fc / 100) and above it (up to 2 Fc).
// A bound is found only when the objective at the far end of its interval is above twice its
// minimum; otherwise the bisection's result is no crossing and found is false.
struct Bounds
{
    double Fb = 0;
    double Ft = 0;
    bool fbFound = false;
    bool ftFound = false;
};
Bounds bounds(int method, const QVector<double> &x, const QVector<double> &y,
              const QVector<double> &dy, double A, double Fc);

// Whether the bounds Fb and Ft that a fit found around (A, Fc) are crossings, as bounds() says.
void checkBounds(int method, const QVector<double> &x, const QVector<double> &y,
                 const QVector<double> &dy, double A, double Fc, Bounds &b);

} // namespace regressionmethods

#endif // REGRESSIONMETHODS_H
