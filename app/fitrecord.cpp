#include "app/fitrecord.h"

#include "data/numbertext.h"

QStringList FitRecord::header()
{
    return {
        QStringLiteral("method"),   QStringLiteral("points"),      QStringLiteral("A"),
        QStringLiteral("sigma_A"),  QStringLiteral("Fc"),          QStringLiteral("sigma_Fc"),
        QStringLiteral("Fb"),       QStringLiteral("Ft"),          QStringLiteral("reduced_chi2"),
        QStringLiteral("steps"),    QStringLiteral("end"),         QStringLiteral("refined"),
        QStringLiteral("fit_from"), QStringLiteral("fit_to"),      QStringLiteral("left_out"),
        QStringLiteral("fixed"),    QStringLiteral("correlation"), QStringLiteral("sigma_kind")};
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
            rangeEnd(fitFrom),
            rangeEnd(fitTo),
            QString::number(leftOut),
            fixed,
            numberText(correlation),
            QLatin1String(absoluteSigma ? "absolute" : "scaled")};
}

QString FitRecord::tabSeparated(const QList<FitRecord> &records)
{
    QString text = header().join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const FitRecord &record : records)
        text += record.fields().join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}
