#ifndef NUMBERTEXT_H
#define NUMBERTEXT_H

#include <QLocale>
#include <QStringView>

// The one conversion from text to a number, for files, typed fields, table cells and
// instrument replies alike. A point is the decimal separator whatever the desktop's locale,
// exponents are allowed and white space around the number is ignored. A comma is never a digit
// group separator ("1,000" and "0,125" do not convert), and a value that is not finite, or
// lies beyond the range of a double, does not convert either.
class NumberText
{
public:
    // The C locale that rejects group separators.
    static QLocale locale();

    // True, with *value set, when text is a finite double.
    static bool toDouble(QStringView text, double *value);

    // The same for length bytes of UTF-8 text; quick for plain ASCII, as files hold it.
    static bool toDouble(const char *bytes, int length, double *value);

    // value with digits significant digits ('g' format, a point as the decimal separator), or
    // otherwise when value is not finite.
    static QString fromDouble(double value, int digits, const QString &otherwise);

    // The shortest text that reads back as the same finite double: the 'g' format with 6
    // significant digits where those are enough (0.5, 100, 1e-05, 2.5e+09), and with as few
    // more as it takes otherwise (2400012345, 1234567.89). What the files and the cell editor
    // hold, so that nothing is lost on the way.
    static QString exact(double value);

    // The same text as ASCII into buffer, which holds at least exactLength bytes; returns the
    // number of bytes written.
    static constexpr int exactLength = 32;
    static int exact(double value, char *buffer);
};

#endif // NUMBERTEXT_H
