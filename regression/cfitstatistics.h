#ifndef CFITSTATISTICS_H
#define CFITSTATISTICS_H

#include <QString>
#include <QVector>

#include <limits>

// How well a fitted pair A, Fc describes the points the fit used, and how certain A and Fc
// are: the points used, the degrees of freedom, the minimum objective, the reduced chi-square,
// the asymptotic standard errors of A and Fc, and the residual of each used point.
//
// The standard errors are the square roots of the diagonal of (J^T W J)^-1 * S / (n - 2), J
// the model's derivative with respect to (A, Fc) at each used point, W the weights of the
// method's objective (1 / dY^2 for the weighted methods, 1 otherwise). X may be in any unit as
// long as Fc is in the same one; sigmaFc comes out in that unit.
class cFitStatistics
{
public:
    // The statistics of no points: nothing is defined.
    cFitStatistics() = default;

    // The statistics of method 0 to 3 (the order of regressionmethods) with the points x, y, dy
    // as the fit got them and the fitted A and Fc. The weighted methods use only the points
    // with a usable dY, as their objective does; when no point has one, all points count with
    // weight 1.
    static cFitStatistics compute(int method, const QVector<double> &x, const QVector<double> &y,
                                  const QVector<double> &dy, double A, double Fc);

    // The number of points compute would use, without computing anything else.
    static int usedPoints(int method, const QVector<double> &x, const QVector<double> &y,
                          const QVector<double> &dy);

    int points() const { return m_points; }
    // n - 2, negative for fewer than two points.
    int degreesOfFreedom() const { return m_points - 2; }
    // The method's objective at (A, Fc), the same number as the class's residualSum.
    double objective() const { return m_objective; }
    // These three are NaN when not defined; undefinedReason then says why.
    double reducedChiSquare() const { return m_reducedChiSquare; }
    double sigmaA() const { return m_sigmaA; }
    double sigmaFc() const { return m_sigmaFc; }
    bool isDefined() const { return m_reason.isEmpty(); }
    QString undefinedReason() const { return m_reason; }

    // For each used point, in the order of the points: its X, Y - model, and its dY (NaN where
    // the point has none).
    QVector<double> residualX() const { return m_residualX; }
    QVector<double> residuals() const { return m_residuals; }
    QVector<double> residualDy() const { return m_residualDy; }

private:
    int m_points = 0;
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
