#include "app/fitrecord.h"

#include <QLocale>

#include <cstdlib>

#include "data/numbertext.h"

QStringList FitRecord::header()
{
    return {QStringLiteral("method"),
            QStringLiteral("points"),
            QStringLiteral("A"),
            QStringLiteral("sigma_A"),
            QStringLiteral("Fc"),
            QStringLiteral("sigma_Fc"),
            QStringLiteral("Fb"),
            QStringLiteral("Ft"),
            QStringLiteral("reduced_chi2"),
            QStringLiteral("steps"),
            QStringLiteral("end"),
            QStringLiteral("refined"),
            QStringLiteral("data_file"),
            QStringLiteral("calibration_file"),
            QStringLiteral("time"),
            QStringLiteral("fit_from"),
            QStringLiteral("fit_to"),
            QStringLiteral("left_out"),
            QStringLiteral("fixed"),
            QStringLiteral("correlation"),
            QStringLiteral("sigma_kind")};
}

// Ten significant digits keep every digit a fit can claim; an infinity is as undefined as NaN.
static QString numberText(double value)
{
    return NumberText::fromDouble(value, 10, QStringLiteral("nan"));
}

QStringList FitRecord::fields() const
{
    static const char *const ends[] = {"converged", "step limit", "cancelled", "undefined"};
    const auto rangeEnd = [](double value) { return NumberText::fromDouble(value, 10, QString()); };
    return {QString::number(method),
            QString::number(points),
            numberText(A),
            numberText(sigmaA),
            numberText(Fc),
            numberText(sigmaFc),
            numberText(Fb),
            numberText(Ft),
            numberText(reducedChiSquare),
            QString::number(steps),
            QLatin1String(ends[end]),
            QLatin1String(refined ? "yes" : "no"),
            fileText(origin.dataFile),
            fileText(origin.calibrationFile),
            timeText(origin.started),
            rangeEnd(fitFrom),
            rangeEnd(fitTo),
            QString::number(leftOut),
            fixed,
            numberText(correlation),
            QLatin1String(absoluteSigma ? "absolute" : "scaled")};
}

QString FitRecord::fileText(const QString &fileName)
{
    QString text = fileName;
    for (QChar &c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

// Written out by hand: Qt's ISO format leaves the offset of a local time out (Qt 5) and writes
// a zero offset as "Z"; the record always says the offset the same way.
QString FitRecord::timeText(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    const int offset = time.offsetFromUtc() / 60;
    const int minutes = std::abs(offset);
    return QLocale::c().toString(time, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString FitRecord::tabSeparated(const QList<FitRecord> &records)
{
    QString text = header().join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const FitRecord &record : records)
        text += record.fields().join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}
