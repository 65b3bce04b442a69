#include "regression/cabstractregresscalculation.h"

#include <algorithm>

// Both maxima start from the first point, not from 0, so all-negative Y give the least
// negative one as the starting level.
void cAbstractRegressCalculation::setStartingValues()
{
    const int n = std::min(m_xValues.size(), m_yValues.size());
    if (n == 0) {
        m_parameters = {0, 0};
        return;
    }
    double A0 = m_yValues[0];
    double Xm = m_xValues[0];
    for (int i = 1; i < n; ++i) {
        if (m_yValues[i] > A0)
            A0 = m_yValues[i];
        if (m_xValues[i] > Xm)
            Xm = m_xValues[i];
    }
    m_parameters = {A0, 0.5 * Xm};
}

void cAbstractRegressCalculation::startingPair(double &A, double &Fc) const
{
    A = m_parameters.size() > 0 ? m_parameters[0] : 0.0;
    Fc = m_parameters.size() > 1 ? m_parameters[1] : 0.0;
}
