#ifndef FITRECORD_H
#define FITRECORD_H

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <limits>

// What a fit's points came from, taken as the fit starts: the data file last read or saved
// (full path, empty when none), the calibration file whose correction the points had (empty
// when none was applied), and the local time the fit started.
struct FitOrigin
{
    QString dataFile;
    QString calibrationFile;
    QDateTime started;
};

// One line of the record of the fits made in a session: what the fit report's table shows and
// what Copy Report and Save Report give below the summary. Values are in the units of the table;
// one that is not defined is NaN.
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
    FitOrigin origin;
    // The fit range (NaN for an open end), the rows left out of the fit, the parameter held
    // ("A=…" or "Fc=…", empty when none), the correlation of A and Fc, and whether σ is from
    // dY alone rather than scaled by the reduced χ².
    double fitFrom = std::numeric_limits<double>::quiet_NaN();
    double fitTo = std::numeric_limits<double>::quiet_NaN();
    int leftOut = 0;
    QString fixed;
    double correlation = std::numeric_limits<double>::quiet_NaN();
    bool absoluteSigma = false;

    // The names of the fields, in the order of fields().
    static QStringList header();

    // The fields as text: the method's index, numbers in 'g' format with 10 significant digits,
    // "nan" for what is not defined, the end as "converged", "step limit", "cancelled" or
    // "undefined" (a result that is not a number), refined as "yes" or "no", the file names
    // as fileText() gives them, the time as timeText() does, an open end of the range as an
    // empty field, and sigma_kind as "scaled" or "absolute".
    QStringList fields() const;

    // A file name that keeps a line of tab-separated fields whole: tabs and line breaks become
    // spaces.
    static QString fileText(const QString &fileName);
    // The time in ISO 8601 with seconds and the offset from UTC (2026-12-09T10:15:03+01:00);
    // empty for an invalid time.
    static QString timeText(const QDateTime &time);

    // Lines of tab-separated fields, the header first, each ending in a line feed.
    static QString tabSeparated(const QList<FitRecord> &records);
};

#endif // FITRECORD_H
