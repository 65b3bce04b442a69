#ifndef LEASTSQUARESREFINEMENT_H
#define LEASTSQUARESREFINEMENT_H

#include <QString>
#include <QVector>

#include <limits>

#include "regression/cabstractregresscalculation.h"

// The exact least-squares minimum of a method's objective, found by cminpack's
// Levenberg–Marquardt (lmder) with the analytic derivatives of regressionmethods, from a
// starting pair such as the method's own result. The points are those the method's objective
// uses: for a weighted method the points with a usable dY, each residual divided by its dY;
// otherwise every point with X and Y.
class LeastSquaresRefinement
{
public:
    struct Result
    {
        double A = std::numeric_limits<double>::quiet_NaN();
        double Fc = std::numeric_limits<double>::quiet_NaN();
        bool found = false;
        bool cancelled = false;
        // lmder's own code: 1 to 4 converged, 6 to 8 converged as far as double precision
        // allows, 5 too many evaluations, 0 improper input; negative when stopped.
        int info = 0;
        // Why the minimum was not found, empty when it was.
        QString reason;
    };

    // The largest number of objective evaluations one refinement may take.
    static constexpr int maxEvaluations = 2000;

    // Starts at (A0, Fc0); a monitor counts the evaluations and can cancel. Fc comes back
    // positive (for the recombination model with A's sign changed too, which gives the same
    // curve). held (0 for A, 1 for Fc, -1 for neither) keeps that parameter at its starting
    // value and fits the other alone.
    static Result refine(int method, const QVector<double> &x, const QVector<double> &y,
                         const QVector<double> &dy, double A0, double Fc0,
                         cAbstractRegressCalculation::Monitor *monitor = nullptr, int held = -1);
};

#endif // LEASTSQUARESREFINEMENT_H
