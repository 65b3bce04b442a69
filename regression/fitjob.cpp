#include "regression/fitjob.h"

#include <algorithm>
#include <cmath>

#include "regression/fitpoints.h"
#include "regression/regressionmethods.h"

static FitJob::Options refineOnly(bool refine)
{
    FitJob::Options options;
    options.refine = refine;
    return options;
}

FitJob::FitJob(int method, const QVector<double> &tableX, const QVector<double> &tableY,
               const QVector<double> &tableDy, bool refine)
    : FitJob(method, tableX, tableY, tableDy, refineOnly(refine))
{
}

FitJob::FitJob(int method, const QVector<double> &tableX, const QVector<double> &tableY,
               const QVector<double> &tableDy, const Options &options)
    : m_method(method), m_options(options),
      m_refine(options.refine || options.held != cFitStatistics::NoneHeld),
      m_absolute(options.absoluteSigma && regressionmethods::isWeighted(method))
{
    // Rows the user left out, and rows outside the fit range, stay in the table and the plot
    // but not in the fit. A row whose X or Y is not a finite number carries nothing a fit
    // could use and would spoil every objective value: it is left out too.
    m_rows = std::min({tableX.size(), tableY.size(), tableDy.size()});
    const bool fromOpen = std::isnan(options.from);
    const bool toOpen = std::isnan(options.to);
    for (int row = 0; row < m_rows; ++row) {
        if (row < options.leftOut.size() && options.leftOut[row]) {
            ++m_leftOutRows;
        } else if (!std::isfinite(tableX[row]) || !std::isfinite(tableY[row])) {
            ++m_notFiniteRows;
        } else if ((!fromOpen && tableX[row] < options.from) ||
                   (!toOpen && tableX[row] > options.to)) {
            ++m_outsideRows;
        } else {
            m_x.append(tableX[row]);
            m_y.append(tableY[row]);
            m_dy.append(tableDy[row]);
            if (tableX[row] <= 0)
                ++m_xNotPositive;
        }
    }
    m_usedPoints = cFitStatistics::usedPoints(method, m_x, m_y, m_dy);
    m_unweighted = regressionmethods::isWeighted(method) && !m_x.isEmpty() &&
                   !FitPoints(m_x, m_y, m_dy, true).weighted;
    m_absolute = m_absolute && !m_unweighted;

    // X: the largest value becomes 10, so every fit starts at Fc = 5 whatever the unit of X.
    double xMax = 0;
    for (double value : qAsConst(m_x))
        xMax = std::max(xMax, value);
    m_xScale = 10 / xMax;
    for (double &value : m_x)
        value *= m_xScale;

    // Y and dY of the recombination methods: a power of two, so that the scaling itself is
    // exact, an unweighted S scales by exactly its square and a weighted one not at all.
    if (!regressionmethods::isIfBand(method)) {
        double yMax = 0;
        for (double value : qAsConst(m_y))
            yMax = std::max(yMax, std::fabs(value));
        if (yMax > 0 && (yMax < smallestUnscaledY(method) || yMax > largestUnscaledY(method))) {
            const int power = 2 - std::ilogb(yMax);
            m_yScale = std::ldexp(1.0, power);
            for (double &value : m_y)
                value = std::ldexp(value, power);
            for (double &value : m_dy)
                value = std::ldexp(value, power);
        }
    }

    if (m_x.isEmpty())
        m_undefined = QStringLiteral("no points to fit");
    else if (!(xMax > 0))
        m_undefined = QStringLiteral("no X above 0");
}

bool FitJob::run(cAbstractRegressCalculation &calculation,
                 cAbstractRegressCalculation::Monitor *monitor)
{
    calculation.setXValues(m_x);
    calculation.setYValues(m_y);
    calculation.setDyValues(m_dy);
    calculation.setMonitor(monitor);
    calculation.calculate();
    calculation.setMonitor(nullptr);
    m_steps = calculation.acceptedSteps();
    m_stepLimit = calculation.stepLimitReached();
    m_cancelled = calculation.cancelled();

    const QVector<double> P = calculation.parameters();
    m_result.A = P[0] / m_yScale;
    m_result.Fc = P[1] / m_xScale;
    m_result.Fb = P[2] / m_xScale;
    m_result.Ft = P[3] / m_xScale;
    if (m_cancelled)
        return false;
    if (m_undefined.isEmpty() && !(std::isfinite(m_result.A) && std::isfinite(m_result.Fc) &&
                                   std::isfinite(m_result.Fb) && std::isfinite(m_result.Ft)))
        m_undefined = QStringLiteral("not a number");
    if (!m_undefined.isEmpty()) {
        m_minimum.reason = m_undefined;
        m_statistics = cFitStatistics::compute(m_method, m_x, m_y, m_dy, P[0], P[1]);
        m_minimumStatistics = m_statistics;
        return true;
    }

    regressionmethods::Bounds own{P[2], P[3], true, true};
    regressionmethods::checkBounds(m_method, m_x, m_y, m_dy, P[0], P[1], own);
    m_result.fbFound = own.fbFound;
    m_result.ftFound = own.ftFound;

    // A held parameter is held at its value in the units the fit works in; the free one
    // starts from the method's own result.
    const cFitStatistics::Held held = m_options.held;
    double startA = P[0];
    double startFc = P[1];
    if (held == cFitStatistics::AHeld)
        startA = m_options.heldValue * m_yScale;
    else if (held == cFitStatistics::FcHeld)
        startFc = m_options.heldValue * m_xScale;
    m_minimum = LeastSquaresRefinement::refine(m_method, m_x, m_y, m_dy, startA, startFc, monitor,
                                               static_cast<int>(held) - 1);
    if (m_minimum.cancelled) {
        m_cancelled = true;
        return false;
    }
    double shownA = P[0];
    double shownFc = P[1];
    if (m_minimum.found) {
        m_minimumStatistics = cFitStatistics::compute(m_method, m_x, m_y, m_dy, m_minimum.A,
                                                      m_minimum.Fc, held, m_absolute);
        if (m_refine) {
            const regressionmethods::Bounds b =
                regressionmethods::bounds(m_method, m_x, m_y, m_dy, m_minimum.A, m_minimum.Fc);
            m_refinedResult = {m_minimum.A / m_yScale,
                               m_minimum.Fc / m_xScale,
                               b.Fb / m_xScale,
                               b.Ft / m_xScale,
                               b.fbFound,
                               b.ftFound};
            shownA = m_minimum.A;
            shownFc = m_minimum.Fc;
        }
    }
    m_statistics = cFitStatistics::compute(m_method, m_x, m_y, m_dy, shownA, shownFc,
                                           refined() ? held : cFitStatistics::NoneHeld, m_absolute);
    return true;
}

// S of an unweighted fit is a sum of squared residuals and scales with the square of Y; a
// weighted fit divides each residual by its dY, which was scaled with Y, so S and χ² are the
// same in every unit of Y.
double FitJob::objectiveToTable() const
{
    const bool weightedObjective = regressionmethods::isWeighted(m_method) && !m_unweighted;
    return weightedObjective ? 1.0 : 1.0 / (m_yScale * m_yScale);
}

double FitJob::objective() const
{
    return m_statistics.objective() * objectiveToTable();
}

double FitJob::minimumObjective() const
{
    return m_minimum.found ? m_minimumStatistics.objective() * objectiveToTable()
                           : std::numeric_limits<double>::quiet_NaN();
}

double FitJob::sigmaA() const
{
    return m_minimum.found ? m_minimumStatistics.sigmaA() / m_yScale
                           : std::numeric_limits<double>::quiet_NaN();
}

double FitJob::sigmaFc() const
{
    return m_minimum.found ? m_minimumStatistics.sigmaFc() / m_xScale
                           : std::numeric_limits<double>::quiet_NaN();
}

double FitJob::confidenceA() const
{
    return m_minimum.found ? m_minimumStatistics.confidenceA() / m_yScale
                           : std::numeric_limits<double>::quiet_NaN();
}

double FitJob::confidenceFc() const
{
    return m_minimum.found ? m_minimumStatistics.confidenceFc() / m_xScale
                           : std::numeric_limits<double>::quiet_NaN();
}

double FitJob::correlation() const
{
    return m_minimum.found ? m_minimumStatistics.correlation()
                           : std::numeric_limits<double>::quiet_NaN();
}

int FitJob::degreesOfFreedom() const
{
    return std::max(0, m_usedPoints - (m_options.held == cFitStatistics::NoneHeld ? 2 : 1));
}

double FitJob::reducedChiSquare() const
{
    return m_minimum.found ? m_minimumStatistics.reducedChiSquare() * objectiveToTable()
                           : std::numeric_limits<double>::quiet_NaN();
}
