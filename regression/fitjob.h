#ifndef FITJOB_H
#define FITJOB_H

#include <QString>
#include <QVector>

#include <cmath>
#include <limits>

#include "regression/cabstractregresscalculation.h"
#include "regression/cfitstatistics.h"
#include "regression/leastsquaresrefinement.h"

// One fit of the table, from its columns to everything the window shows: the rows a fit can
// use, X scaled so that its largest value is 10 and, for the recombination methods, Y and dY
// scaled by a power of two into the range where their descent is right; the method's own
// descent; the least-squares minimum next to it (and, when asked, the refinement to it); the
// bounds Fb and Ft and whether each is a crossing; and the statistics. Values handed out are in
// the units of the table unless said otherwise. run() may be called on any thread.
class FitJob
{
public:
    // The largest |Y| with which the recombination methods' descent recovers exact data (A to
    // 1e-6 unweighted and 1e-3 weighted, Fc alike, without reaching the step limit), measured
    // over a sweep in quarter powers of two of X = 0.05…20, Y = s · response(X, 3, 4): the
    // unweighted method is right from 2^-3.5 to 2^8.25, the weighted one (dY growing with X)
    // from 2^0.5 to 2^5.25. Inside the power-of-two range below nothing is scaled; outside it
    // Y and dY are scaled by a power of two that brings the largest |Y| to [4, 8).
    static double smallestUnscaledY(int method) { return method % 2 == 1 ? 2.0 : 0.125; }
    static double largestUnscaledY(int method) { return method % 2 == 1 ? 32.0 : 256.0; }

    // A fitted pair with its bounds, in the units of the table. A bound that is not a crossing
    // (found false) is the end of the bisection's interval, from to to.
    struct Parameters
    {
        double A = 0;
        double Fc = 0;
        double Fb = 0;
        double Ft = 0;
        bool fbFound = true;
        bool ftFound = true;
    };

    // What the user asked of a fit beyond the method: the refinement, the range of X whose
    // points are fitted (in the units of the table, both ends included, NaN for an open end),
    // the rows left out of the fit (one mark per row; rows beyond it are in), a parameter held
    // at a value in the units of the table (which needs the refinement, so it implies it), and
    // standard errors from dY alone (weighted methods only).
    struct Options
    {
        bool refine = false;
        double from = std::numeric_limits<double>::quiet_NaN();
        double to = std::numeric_limits<double>::quiet_NaN();
        QVector<bool> leftOut;
        cFitStatistics::Held held = cFitStatistics::NoneHeld;
        double heldValue = 0;
        bool absoluteSigma = false;
    };

    FitJob(int method, const QVector<double> &tableX, const QVector<double> &tableY,
           const QVector<double> &tableDy, bool refine);
    FitJob(int method, const QVector<double> &tableX, const QVector<double> &tableY,
           const QVector<double> &tableDy, const Options &options);

    // Fits with calculation, an object of the method's class, then looks for the least-squares
    // minimum. Returns false when the monitor cancelled it.
    bool run(cAbstractRegressCalculation &calculation,
             cAbstractRegressCalculation::Monitor *monitor = nullptr);

    int method() const { return m_method; }
    const Options &options() const { return m_options; }
    // Table rows; those the user left out; those outside the fit range (not counting rows left
    // out); and those left out because their X or Y is not a finite number.
    int rows() const { return m_rows; }
    int leftOutRows() const { return m_leftOutRows; }
    int outsideRangeRows() const { return m_outsideRows; }
    int notFiniteRows() const { return m_notFiniteRows; }
    bool hasRange() const { return !std::isnan(m_options.from) || !std::isnan(m_options.to); }
    // Rows that go into the fit: inside the range, not left out, X and Y finite.
    int rowsInRange() const { return m_x.size(); }
    // Points the objective uses; a weighted method leaves out those without a usable dY.
    int usedPoints() const { return m_usedPoints; }
    int pointsWithoutWeight() const
    {
        return m_x.size() - (m_unweighted ? m_x.size() : m_usedPoints);
    }
    // A weighted method whose points have no usable dY fits unweighted.
    bool fittedUnweighted() const { return m_unweighted; }
    // Fitted points a logarithmic X axis cannot show.
    int pointsWithXNotPositive() const { return m_xNotPositive; }
    double xScale() const { return m_xScale; }
    double yScale() const { return m_yScale; }

    // Empty when the result is defined; otherwise why not.
    QString undefinedReason() const { return m_undefined; }
    long long steps() const { return m_steps; }
    bool stepLimitReached() const { return m_stepLimit; }
    bool cancelled() const { return m_cancelled; }

    // The method's own result, and the least-squares minimum.
    const Parameters &methodResult() const { return m_result; }
    const LeastSquaresRefinement::Result &minimum() const { return m_minimum; }
    // Whether the refinement was asked for, and whether the result shown is the minimum.
    bool refineAsked() const { return m_refine; }
    bool refined() const { return m_refine && m_minimum.found; }
    const Parameters &shown() const { return refined() ? m_refinedResult : m_result; }

    // The statistics at the shown pair and at the minimum, in the units the fit worked in
    // (X times xScale, Y times yScale).
    const cFitStatistics &statistics() const { return m_statistics; }
    const cFitStatistics &minimumStatistics() const { return m_minimumStatistics; }
    // In the units of the table: S at the shown pair and at the minimum, and σ, the half-width
    // of the 95 % confidence interval, and χ² (or the residual variance) at the minimum; NaN
    // when not defined (σ of a held parameter too).
    double objective() const;
    double minimumObjective() const;
    double sigmaA() const;
    double sigmaFc() const;
    double confidenceA() const;
    double confidenceFc() const;
    double correlation() const;
    double reducedChiSquare() const;
    // Whether the σ shown are from dY alone, not scaled by the reduced χ².
    bool absoluteSigma() const { return m_absolute; }
    int degreesOfFreedom() const;

private:
    double objectiveToTable() const;

    int m_method;
    Options m_options;
    bool m_refine;
    bool m_absolute = false;
    int m_rows = 0;
    int m_leftOutRows = 0;
    int m_outsideRows = 0;
    int m_notFiniteRows = 0;
    QVector<double> m_x;
    QVector<double> m_y;
    QVector<double> m_dy;
    int m_usedPoints = 0;
    bool m_unweighted = false;
    int m_xNotPositive = 0;
    double m_xScale = 1;
    double m_yScale = 1;
    QString m_undefined;
    long long m_steps = 0;
    bool m_stepLimit = false;
    bool m_cancelled = false;
    Parameters m_result;
    Parameters m_refinedResult;
    LeastSquaresRefinement::Result m_minimum;
    cFitStatistics m_statistics;
    cFitStatistics m_minimumStatistics;
};

#endif // FITJOB_H
