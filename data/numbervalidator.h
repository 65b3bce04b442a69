#ifndef NUMBERVALIDATOR_H
#define NUMBERVALIDATOR_H

#include <QDoubleValidator>

// A validator in scientific notation that accepts exactly the numbers NumberText converts,
// whatever the desktop's locale: a point as the decimal separator, no group separators, and
// nothing beyond the range of the type the field is stored in.
class NumberValidator : public QDoubleValidator
{
    Q_OBJECT

public:
    enum Range
    {
        DoubleRange,
        FloatRange
    };

    explicit NumberValidator(Range range, QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;

private:
    Range range;
};

#endif // NUMBERVALIDATOR_H
