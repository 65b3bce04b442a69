#ifndef NUMBERVALIDATOR_H
#define NUMBERVALIDATOR_H

#include <QDoubleValidator>

// A validator in scientific notation that accepts exactly the numbers NumberText converts,
// whatever the desktop's locale: a point as the decimal separator, no group separators, and
// nothing beyond the range of a double. A decimal comma (the number pad of a German keyboard
// types one) stays in the field, so that the user sees it, but never makes the text
// acceptable.
class NumberValidator : public QDoubleValidator
{
    Q_OBJECT

public:
    explicit NumberValidator(QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;

    // Whether text would be a number, or on its way to one, with its commas read as points.
    static bool hasDecimalComma(const QString &text);
    // What to tell the user who typed one.
    static QString commaHint();
};

#endif // NUMBERVALIDATOR_H
