#ifndef CFITSTATISTICS_H
#define CFITSTATISTICS_H

#include <QString>
#include <QVector>

#include <limits>

// How well a fitted pair A, Fc describes the points the fit used, and how certain A and Fc
// are: the points used, the degrees of freedom, the minimum objective, the reduced chi-square,
// the asymptotic standard errors of A and Fc, and the residual of each used point.
//
// The standard errors are the square roots of the diagonal of (J^T W J)^-1 * S / (n - p), J
// the model's derivative with respect to the p free parameters (A and Fc, or the one of them
// not held fixed) at each used point, W the weights of the method's objective (1 / dY^2 for the
// weighted methods, 1 otherwise). Absolute standard errors leave out the factor S / (n - p):
// they take the dY as the true spreads. X may be in any unit as long as Fc is in the same one;
// sigmaFc comes out in that unit.
class cFitStatistics
{
public:
    // The statistics of no points: nothing is defined.
    cFitStatistics() = default;

    // The statistics of method 0 to 3 (the order of regressionmethods) with the points x, y, dy
    // as the fit got them and the fitted A and Fc. The weighted methods use only the points
    // with a usable dY, as their objective does; when no point has one, all points count with
    // weight 1.
    // held names a parameter fixed at its value (it has no standard error and the degrees of
    // freedom are n - 1); absolute asks for standard errors not scaled by S / (n - p).
    enum Held
    {
        NoneHeld,
        AHeld,
        FcHeld
    };
    static cFitStatistics compute(int method, const QVector<double> &x, const QVector<double> &y,
                                  const QVector<double> &dy, double A, double Fc,
                                  Held held = NoneHeld, bool absolute = false);

    // The number of points compute would use, without computing anything else.
    static int usedPoints(int method, const QVector<double> &x, const QVector<double> &y,
                          const QVector<double> &dy);

    int points() const { return m_points; }
    // n - p, p the number of free parameters; negative for fewer than p points.
    int degreesOfFreedom() const { return m_points - (m_held == NoneHeld ? 2 : 1); }
    Held held() const { return m_held; }
    bool absolute() const { return m_absolute; }
    // The method's objective at (A, Fc), the same number as the class's residualSum.
    double objective() const { return m_objective; }
    // These three are NaN when not defined; undefinedReason then says why.
    double reducedChiSquare() const { return m_reducedChiSquare; }
    double sigmaA() const { return m_sigmaA; }
    double sigmaFc() const { return m_sigmaFc; }
    // The correlation of A and Fc from the same covariance (NaN when one is held); and the
    // half-widths of the 95 % confidence intervals, Student's t quantile for the degrees of
    // freedom times the standard error.
    double correlation() const { return m_correlation; }
    double confidenceA() const { return m_tQuantile * m_sigmaA; }
    double confidenceFc() const { return m_tQuantile * m_sigmaFc; }
    // The two-sided 95 % quantile of Student's t with dof degrees of freedom, NaN below 1.
    static double studentT95(int dof);
    bool isDefined() const { return m_reason.isEmpty(); }
    QString undefinedReason() const { return m_reason; }

    // For each used point, in the order of the points: its X, Y - model, and its dY (NaN where
    // the point has none).
    QVector<double> residualX() const { return m_residualX; }
    QVector<double> residuals() const { return m_residuals; }
    QVector<double> residualDy() const { return m_residualDy; }

private:
    int m_points = 0;
    Held m_held = NoneHeld;
    bool m_absolute = false;
    double m_correlation = std::numeric_limits<double>::quiet_NaN();
    double m_tQuantile = std::numeric_limits<double>::quiet_NaN();
    double m_objective = 0;
    double m_reducedChiSquare = std::numeric_limits<double>::quiet_NaN();
    double m_sigmaA = std::numeric_limits<double>::quiet_NaN();
    double m_sigmaFc = std::numeric_limits<double>::quiet_NaN();
    QString m_reason = QStringLiteral("needs at least 3 points");
    QVector<double> m_residualX;
    QVector<double> m_residuals;
    QVector<double> m_residualDy;
};

#endif // CFITSTATISTICS_H
