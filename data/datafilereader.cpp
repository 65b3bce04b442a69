#include "data/datafilereader.h"

#include <QIODevice>
#include <QString>
#include <QStringView>
#include <QVector>

#include "data/numbertext.h"

// Reads the device in blocks and cuts pieces at every line end. A carriage return ends a line
// by itself (files saved on old Macs and by some spreadsheets); one directly followed by a line
// feed ends it together with that line feed, also across the boundary of two blocks.
void DataFileReader::forEachPiece(QIODevice &device,
                                  const std::function<void(const char *, int)> &visit)
{
    char block[65536];
    char piece[pieceLength];
    int length = 0;
    bool afterCarriageReturn = false;
    for (;;) {
        const qint64 got = device.read(block, sizeof block);
        if (got <= 0)
            break;
        for (qint64 i = 0; i < got; ++i) {
            const char byte = block[i];
            if (afterCarriageReturn) {
                afterCarriageReturn = false;
                if (byte == '\n')
                    continue;
            }
            if (byte == '\n' || byte == '\r') {
                visit(piece, length);
                length = 0;
                afterCarriageReturn = byte == '\r';
                continue;
            }
            piece[length++] = byte;
            if (length == pieceLength) {
                visit(piece, length);
                length = 0;
            }
        }
    }
    if (length > 0)
        visit(piece, length);
}

bool DataFileReader::isBlank(const char *bytes, int length)
{
    for (int i = 0; i < length; ++i) {
        const char c = bytes[i];
        if (c != ' ' && c != '\t' && c != '\v' && c != '\f')
            return false;
    }
    return true;
}

// The fields of a piece: its text up to the first NUL, split at every TAB with empty fields
// kept. Bytes that are not UTF-8 become replacement characters, which never convert.
static QVector<QStringView> splitPiece(const char *bytes, int length, QString *text)
{
    *text = QString::fromUtf8(bytes, static_cast<int>(qstrnlen(bytes, static_cast<uint>(length))));
    QVector<QStringView> fields;
    QStringView rest(*text);
    for (;;) {
        const auto tab = rest.indexOf(QLatin1Char('\t'));
        if (tab < 0) {
            fields.append(rest);
            return fields;
        }
        fields.append(rest.left(tab));
        rest = rest.mid(tab + 1);
    }
}

bool DataFileReader::parseDataLine(const char *bytes, int length, Point *point)
{
    QString text;
    const QVector<QStringView> fields = splitPiece(bytes, length, &text);
    Point parsed = {0, 0, 0};
    if (fields.size() < 2 || !NumberText::toDouble(fields.at(0), &parsed.x) ||
        !NumberText::toDouble(fields.at(1), &parsed.y))
        return false;
    if (fields.size() > 2 && !NumberText::toDouble(fields.at(2), &parsed.delta))
        parsed.delta = 0;
    *point = parsed;
    return true;
}

bool DataFileReader::parseCalibrationLine(const char *bytes, int length, QPointF *point)
{
    QString text;
    const QVector<QStringView> fields = splitPiece(bytes, length, &text);
    double x = 0;
    double y = 0;
    if (fields.size() < 2 || !NumberText::toDouble(fields.at(0), &x) ||
        !NumberText::toDouble(fields.at(1), &y))
        return false;
    *point = QPointF(x, y);
    return true;
}

// Reads every piece of device with parse, appending what it accepts and counting the pieces
// that are neither a point nor blank.
template <typename T, typename Parse>
static QVector<T> readPieces(QIODevice &device, int *skipped, Parse parse)
{
    QVector<T> points;
    int notPoints = 0;
    DataFileReader::forEachPiece(device, [&](const char *bytes, int length) {
        T point;
        if (parse(bytes, length, &point))
            points.append(point);
        else if (!DataFileReader::isBlank(bytes, length))
            ++notPoints;
    });
    if (skipped)
        *skipped = notPoints;
    return points;
}

QVector<DataFileReader::Point> DataFileReader::readData(QIODevice &device, int *skipped)
{
    return readPieces<Point>(device, skipped, parseDataLine);
}

QVector<QPointF> DataFileReader::readCalibration(QIODevice &device, int *skipped)
{
    return readPieces<QPointF>(device, skipped, parseCalibrationLine);
}
