#ifndef DATAFILEWRITER_H
#define DATAFILEWRITER_H

#include <QByteArray>
#include <QString>
#include <QVector>

// Writes data files: one line "X<TAB>Y<TAB>dY" per point, each number with 6 significant
// digits and a point as decimal separator. A file is replaced only by a complete new one.
class DataFileWriter
{
public:
    // The text of one line, ending in a line feed.
    static QByteArray formatLine(double x, double y, double delta);

    // Writes the first min(x, y, delta) points to fileName. On failure returns false, leaves an
    // existing file as it was and puts the reason into *error.
    static bool write(const QString &fileName, const QVector<double> &x, const QVector<double> &y,
                      const QVector<double> &delta, QString *error);
};

#endif // DATAFILEWRITER_H
