#include "data/numbertext.h"

#include <cmath>
#include <limits>

QLocale NumberText::locale()
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    return c;
}

bool NumberText::toDouble(QStringView text, double *value)
{
    static const QLocale c = locale();
    bool ok = false;
    const double converted = c.toDouble(text, &ok);
    if (!ok || !std::isfinite(converted))
        return false;
    *value = converted;
    return true;
}

// Converted as a double first, so that a number beyond the range of a float is refused rather
// than stored as infinity.
bool NumberText::toFloat(QStringView text, float *value)
{
    double converted = 0;
    if (!toDouble(text, &converted) || std::fabs(converted) > std::numeric_limits<float>::max())
        return false;
    *value = static_cast<float>(converted);
    return true;
}

QString NumberText::fromDouble(double value, int digits, const QString &otherwise)
{
    return std::isfinite(value) ? QString::number(value, 'g', digits) : otherwise;
}
