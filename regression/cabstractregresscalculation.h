#ifndef CABSTRACTREGRESSCALCULATION_H
#define CABSTRACTREGRESSCALCULATION_H

#include <QVector>

#include <atomic>

// Base of the four fit methods. It holds the points (X already scaled so that the largest X
// is 10) and the parameters: the starting pair A, Fc after initParameters, and A, Fc, Fb, Ft
// after minimize.
class cAbstractRegressCalculation
{
public:
    // The descent of every method ends after this many accepted steps at the latest. A step is
    // accepted whenever it does not raise the objective, so a descent creeping along a long
    // narrow valley, or drifting on an objective that keeps falling, could otherwise go on
    // for ever. Fits of measured data end after a few hundred steps; the cap is a thousand
    // times that, and keeps a fit that crawls along such a valley from freezing the window
    // for more than about a second at 2000 points.
    static constexpr long long maxAcceptedSteps = 100000;

    // Lets another thread follow a running fit and end it, without locks: the descent publishes
    // the number of steps it has accepted after each one, and ends at the next accepted step
    // once cancel is set.
    struct Monitor
    {
        std::atomic<long long> acceptedSteps{0};
        // The evaluations of the refinement to the least-squares minimum, when one follows.
        std::atomic<long long> refinementEvaluations{0};
        std::atomic<bool> cancel{false};
    };

    // How a descent went: the steps it accepted, whether it ended only because it reached
    // maxAcceptedSteps, and whether it was cancelled.
    struct Outcome
    {
        long long acceptedSteps = 0;
        bool stepLimitReached = false;
        bool cancelled = false;
    };

    virtual ~cAbstractRegressCalculation() = default;

    QVector<double> parameters() const { return m_parameters; }

    void setXValues(const QVector<double> &values) { m_xValues = values; }
    void setYValues(const QVector<double> &values) { m_yValues = values; }
    void setDyValues(const QVector<double> &values) { m_dyValues = values; }

    void calculate()
    {
        initParameters();
        minimize();
    }

    virtual void initParameters() = 0;
    virtual void minimize() = 0;

    // How the last minimize went: the steps its descent accepted, and whether the descent ended
    // only because it reached maxAcceptedSteps (then A and Fc are where the cap left them,
    // not where the objective stops falling).
    long long acceptedSteps() const { return m_outcome.acceptedSteps; }
    bool stepLimitReached() const { return m_outcome.stepLimitReached; }

    // The fit reports to monitor from now on (null: to nobody); it must outlive calculate().
    void setMonitor(Monitor *monitor) { m_monitor = monitor; }
    // Whether the last minimize was cancelled through the monitor. Its parameters are then A
    // and Fc where the descent stopped, and NaN for Fb and Ft, which were not searched.
    bool cancelled() const { return m_outcome.cancelled; }

protected:
    // Sets the parameters to the starting pair that both fit families use: the largest Y and
    // half the largest X of the points that have both (0, 0 without points).
    void setStartingValues();

    // The starting pair of minimize: the first two parameters, 0 for any that is missing.
    void startingPair(double &A, double &Fc) const;

    QVector<double> m_xValues;
    QVector<double> m_yValues;
    QVector<double> m_dyValues;
    QVector<double> m_parameters;
    Outcome m_outcome;
    Monitor *m_monitor = nullptr;
};

#endif // CABSTRACTREGRESSCALCULATION_H
