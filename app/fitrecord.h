#ifndef FITRECORD_H
#define FITRECORD_H

#include <QString>
#include <QStringList>

// One line of the record of the fits made in a session: what the fit report's table shows and
// what Copy puts on the clipboard. Values are in the units of the table; one that is not
// defined is NaN.
struct FitRecord
{
    enum End
    {
        Converged,
        StepLimit,
        Cancelled,
        Undefined
    };

    int method = 0;
    int points = 0;
    double A = 0;
    double sigmaA = 0;
    double Fc = 0;
    double sigmaFc = 0;
    double Fb = 0;
    double Ft = 0;
    double reducedChiSquare = 0;
    long long steps = 0;
    End end = Converged;
    // Whether A, Fc, Fb and Ft are those of the least-squares minimum rather than the method's.
    bool refined = false;

    // The names of the fields, in the order of fields().
    static QStringList header();

    // The fields as text: the method's index, numbers in 'g' format with 10 significant digits,
    // "nan" for what is not defined, the end as "converged", "step limit", "cancelled" or
    // "undefined" (a result that is not a number), and refined as "yes" or "no".
    QStringList fields() const;

    // Lines of tab-separated fields, the header first, each ending in a line feed.
    static QString tabSeparated(const QList<FitRecord> &records);
};

#endif // FITRECORD_H
