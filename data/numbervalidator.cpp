#include "data/numbervalidator.h"

#include "data/numbertext.h"

NumberValidator::NumberValidator(QObject *parent) : QDoubleValidator(parent)
{
    setNotation(QDoubleValidator::ScientificNotation);
    setLocale(NumberText::locale());
}

// Text that has the shape of a number but does not convert (an exponent that overflows), or
// that would be one with its commas read as points, is only on its way to a number: it stays
// in the field, but it is not accepted.
QValidator::State NumberValidator::validate(QString &input, int &pos) const
{
    if (hasDecimalComma(input))
        return Intermediate;
    const State state = QDoubleValidator::validate(input, pos);
    if (state != Acceptable)
        return state;
    double value = 0;
    return NumberText::toDouble(input, &value) ? Acceptable : Intermediate;
}

bool NumberValidator::hasDecimalComma(const QString &text)
{
    if (!text.contains(QLatin1Char(',')))
        return false;
    static const NumberValidator pointsOnly;
    QString withPoints = text;
    withPoints.replace(QLatin1Char(','), QLatin1Char('.'));
    int pos = 0;
    return pointsOnly.validate(withPoints, pos) != Invalid;
}

QString NumberValidator::commaHint()
{
    return tr("Use a point (.) as the decimal separator");
}
