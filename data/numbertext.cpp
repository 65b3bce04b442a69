#include "data/numbertext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
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

// Plain ASCII goes straight to the standard conversion, with the same rules: white space
// around the number, a plus sign in front of it. Anything else takes the locale's conversion.
bool NumberText::toDouble(const char *bytes, int length, double *value)
{
    const auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    const char *begin = bytes;
    const char *end = bytes + length;
    while (begin < end && space(*begin))
        ++begin;
    while (end > begin && space(end[-1]))
        --end;
    for (const char *c = begin; c < end; ++c) {
        if (static_cast<unsigned char>(*c) >= 0x80)
            return toDouble(QString::fromUtf8(bytes, length), value);
    }
    if (begin < end && *begin == '+') {
        ++begin;
        if (begin < end && (*begin == '+' || *begin == '-'))
            return false;
    }
    double converted = 0;
    const std::from_chars_result result = std::from_chars(begin, end, converted);
    if (begin == end || result.ec != std::errc() || result.ptr != end || !std::isfinite(converted))
        return false;
    *value = converted;
    return true;
}

QString NumberText::fromDouble(double value, int digits, const QString &otherwise)
{
    return std::isfinite(value) ? QString::number(value, 'g', digits) : otherwise;
}

// The shortest round trip has as many significant digits as the scientific form of the
// standard conversion shows; the 'g' format with that many (6 at least) reads back the same.
int NumberText::exact(double value, char *buffer)
{
    char *const end = buffer + exactLength;
    if (!std::isfinite(value)) {
        const char *text = std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
        const int length = static_cast<int>(std::strlen(text));
        std::memcpy(buffer, text, static_cast<size_t>(length));
        return length;
    }
    const std::to_chars_result shortest =
        std::to_chars(buffer, end, value, std::chars_format::scientific);
    int digits = 0;
    for (const char *c = buffer; c < shortest.ptr && *c != 'e'; ++c) {
        if (*c >= '0' && *c <= '9')
            ++digits;
    }
    // Rounded to that many digits the text can, next to a power of two, fall just outside the
    // values that read back as this one: one digit more then.
    for (int precision = std::max(digits, 6);; ++precision) {
        const std::to_chars_result general =
            std::to_chars(buffer, end, value, std::chars_format::general, precision);
        double back = 0;
        std::from_chars(buffer, general.ptr, back);
        if (back == value || precision >= std::numeric_limits<double>::max_digits10)
            return static_cast<int>(general.ptr - buffer);
    }
}

QString NumberText::exact(double value)
{
    char buffer[exactLength];
    return QString::fromLatin1(buffer, exact(value, buffer));
}
