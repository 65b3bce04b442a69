#include "data/numbervalidator.h"

#include "data/numbertext.h"

NumberValidator::NumberValidator(Range range, QObject *parent)
    : QDoubleValidator(parent), range(range)
{
    setNotation(QDoubleValidator::ScientificNotation);
    setLocale(NumberText::locale());
}

// Text that has the shape of a number but does not convert (an exponent that overflows) is
// only on its way to a number: it can still be edited into one, but it is not accepted.
QValidator::State NumberValidator::validate(QString &input, int &pos) const
{
    const State state = QDoubleValidator::validate(input, pos);
    if (state != Acceptable)
        return state;
    double d = 0;
    float f = 0;
    const bool converts =
        range == FloatRange ? NumberText::toFloat(input, &f) : NumberText::toDouble(input, &d);
    return converts ? Acceptable : Intermediate;
}
