#ifndef DATAFILEREADER_H
#define DATAFILEREADER_H

#include <QPointF>
#include <QStringView>
#include <QVector>

#include <functional>

class QIODevice;

// Reads the tab-separated text of data and calibration files. A file is read in pieces of at
// most 1023 bytes, each ending at a line end or where a longer line is cut; the bytes of a
// piece up to a NUL are taken as UTF-8 and split at every TAB. A piece with fewer than two
// fields is skipped; a field that is not a finite number reads as 0.
class DataFileReader
{
public:
    // One point of a data file: X, Y and dY.
    struct Point
    {
        double x;
        double y;
        double delta;
    };

    // Longest piece of a line taken by one read, in bytes.
    static constexpr int pieceLength = 1023;

    // Calls visit with each piece of the device, in order, until its end.
    static void forEachPiece(QIODevice &device,
                             const std::function<void(const char *bytes, int length)> &visit);

    // Parses one piece of a data file: X, Y and (when present) dY.
    static bool parseDataLine(const char *bytes, int length, Point *point);
    // Parses one piece of a calibration file: x and the correction y.
    static bool parseCalibrationLine(const char *bytes, int length, QPointF *point);

    // All points of a data file, in file order.
    static QVector<Point> readData(QIODevice &device);
    // All points of a calibration file, in file order (not sorted).
    static QVector<QPointF> readCalibration(QIODevice &device);

    // The locale-independent conversion of one field; 0 for what is not a finite number.
    static double toNumber(QStringView field);
};

#endif // DATAFILEREADER_H
