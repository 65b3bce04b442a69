#include "data/datafilereader.h"

#include <QIODevice>
#include <QLocale>
#include <QString>
#include <QVector>

#include <cmath>

void DataFileReader::forEachPiece(QIODevice &device,
                                  const std::function<void(const char *, int)> &visit)
{
    char buffer[pieceLength + 1];
    while (!device.atEnd()) {
        const qint64 length = device.readLine(buffer, sizeof buffer);
        if (length <= 0)
            break;
        visit(buffer, static_cast<int>(length));
    }
}

// "nan" and "inf" convert, but they are no measurement: they would poison every plotted,
// fitted and corrected value (and the sorting of a calibration), so they read as 0 like
// anything else that is not a number.
double DataFileReader::toNumber(QStringView field)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(field, &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

// The text of a piece ends at its first NUL byte; undecodable bytes become replacement
// characters, which simply do not convert.
static QList<QStringView> splitPiece(const char *bytes, int length, QString *text)
{
    *text = QString::fromUtf8(bytes, static_cast<int>(qstrnlen(bytes, static_cast<uint>(length))));
    return QStringView(*text).split(QLatin1Char('\t'), Qt::KeepEmptyParts);
}

bool DataFileReader::parseDataLine(const char *bytes, int length, Point *point)
{
    QString text;
    const QList<QStringView> fields = splitPiece(bytes, length, &text);
    if (fields.size() < 2)
        return false;
    point->x = toNumber(fields.at(0));
    point->y = toNumber(fields.at(1));
    point->delta = fields.size() > 2 ? toNumber(fields.at(2)) : 0.0;
    return true;
}

bool DataFileReader::parseCalibrationLine(const char *bytes, int length, QPointF *point)
{
    QString text;
    const QList<QStringView> fields = splitPiece(bytes, length, &text);
    if (fields.size() < 2)
        return false;
    point->setX(toNumber(fields.at(0)));
    point->setY(toNumber(fields.at(1)));
    return true;
}

QVector<DataFileReader::Point> DataFileReader::readData(QIODevice &device)
{
    QVector<Point> points;
    forEachPiece(device, [&points](const char *bytes, int length) {
        Point point;
        if (parseDataLine(bytes, length, &point))
            points.append(point);
    });
    return points;
}

QVector<QPointF> DataFileReader::readCalibration(QIODevice &device)
{
    QVector<QPointF> points;
    forEachPiece(device, [&points](const char *bytes, int length) {
        QPointF point;
        if (parseCalibrationLine(bytes, length, &point))
            points.append(point);
    });
    return points;
}
