#ifndef DATAFILEREADER_H
#define DATAFILEREADER_H

#include <QPointF>
#include <QVector>

#include <functional>

class QIODevice;

// Reads the tab-separated text of data and calibration files. A line ends at a line feed, a
// carriage return followed by a line feed, or a lone carriage return; a line longer than
// pieceLength bytes is taken as several pieces of at most that length. The bytes of a piece up
// to a NUL are taken as UTF-8 and split at every TAB. A piece is a point only when its first
// two fields are numbers; any other piece is skipped, and counted unless it is blank.
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

    // Longest piece of a line, in bytes, its line end not counted.
    static constexpr int pieceLength = 1023;

    // Calls visit with each piece of the device, in order, without its line end, until the end
    // of the device.
    static void forEachPiece(QIODevice &device,
                             const std::function<void(const char *bytes, int length)> &visit);

    // Parses one piece of a data file: X and Y must convert; dY is 0 when it is missing or
    // does not convert.
    static bool parseDataLine(const char *bytes, int length, Point *point);
    // Parses one piece of a calibration file: x and the correction y must convert.
    static bool parseCalibrationLine(const char *bytes, int length, QPointF *point);

    // True for a piece of nothing but white space, which is no attempt at a point.
    static bool isBlank(const char *bytes, int length);

    // All points of a data file, in file order; *skipped, when given, counts the pieces that
    // are not blank and hold no point.
    static QVector<Point> readData(QIODevice &device, int *skipped = nullptr);
    // All points of a calibration file, in file order (not sorted), and the skipped pieces.
    static QVector<QPointF> readCalibration(QIODevice &device, int *skipped = nullptr);
};

#endif // DATAFILEREADER_H
