#ifndef CABSTRACTREGRESSCALCULATION_H
#define CABSTRACTREGRESSCALCULATION_H

#include <QVector>

// Base of the four fit methods. It holds the points (X already scaled so that the largest X
// is 10) and the parameters: the starting pair A, Fc after initParameters, and A, Fc, Fb, Ft
// after minimize.
class cAbstractRegressCalculation
{
public:
    virtual ~cAbstractRegressCalculation() = default;

    QVector<double> xValues() const { return m_xValues; }
    QVector<double> yValues() const { return m_yValues; }
    QVector<double> dyValues() const { return m_dyValues; }
    QVector<double> parameters() const { return m_parameters; }

    void setXValues(const QVector<double> &values) { m_xValues = values; }
    void setYValues(const QVector<double> &values) { m_yValues = values; }
    void setDyValues(const QVector<double> &values) { m_dyValues = values; }
    void setParameters(const QVector<double> &values) { m_parameters = values; }

    void calculate()
    {
        initParameters();
        minimize();
    }

    virtual void initParameters() = 0;
    virtual void minimize() = 0;

protected:
    QVector<double> m_xValues;
    QVector<double> m_yValues;
    QVector<double> m_dyValues;
    QVector<double> m_parameters;
};

#endif // CABSTRACTREGRESSCALCULATION_H
