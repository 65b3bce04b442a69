#ifndef DATAFILEREADER_H
#define DATAFILEREADER_H

#include <QPointF>
#include <QString>
#include <QVector>

#include <atomic>
#include <functional>
#include <vector>

#include "data/datapoint.h"

class QIODevice;

// Reads the tab-separated text of data and calibration files in one pass, block by block. A
// line ends at a line feed, a carriage return followed by a line feed, or a lone carriage
// return. A line longer than maxLineLength bytes is no point: it is skipped whole, and so is a
// line holding a NUL byte. The bytes of a line are split at every TAB; a line is a point only
// when its first two fields are numbers; any other line is skipped, and counted unless it is
// blank.
class DataFileReader
{
public:
    // Longest line, in bytes, its line end not counted.
    static constexpr int maxLineLength = 1023;
    // The length given for a line longer than maxLineLength.
    static constexpr int lineTooLong = -1;

    // What a file held besides its points.
    struct Counts
    {
        // Lines that are neither blank nor a point, too long ones among them.
        int skippedLines = 0;
        // Data files: points whose third field is there but is not a number (dY read as 0).
        int unreadableDy = 0;
        // Data files: points whose line had more than three fields (the rest was ignored).
        int extraFields = 0;
    };

    // How a read beside the window is followed and stopped: progress, when set, is told the
    // bytes read so far after every block; a read stops at the next block once cancel is set.
    struct Control
    {
        std::function<void(qint64 bytesRead)> progress;
        const std::atomic<bool> *cancel = nullptr;
    };

    enum Outcome
    {
        Complete,
        // The device failed to read; its errorString() says why.
        ReadError,
        Cancelled,
        // The points did not fit into memory.
        OutOfMemory
    };

    // Calls visit with each line of the device, in order, without its line end, until the end
    // of the device: with its bytes and length, or with lineTooLong for a line that does not
    // fit (its bytes are then not given).
    static Outcome forEachLine(QIODevice &device,
                               const std::function<void(const char *bytes, int length)> &visit,
                               const Control *control = nullptr);

    // Parses one line of a data file: X and Y must be numbers; dY is 0 when it is missing (or
    // blank) or is not a number, and *unreadableDy then tells which of the two. *extraFields,
    // when given, tells whether fields came after the third (they are ignored).
    static bool parseDataLine(const char *bytes, int length, DataPoint *point, bool *unreadableDy,
                              bool *extraFields = nullptr);
    // Parses one line of a calibration file: x and the correction y must be numbers.
    static bool parseCalibrationLine(const char *bytes, int length, QPointF *point);

    // All points of a data file, in file order, into *points, which is left as it was on any
    // outcome but Complete. *counts is filled when given.
    static Outcome readData(QIODevice &device, std::vector<DataPoint> *points,
                            Counts *counts = nullptr, const Control *control = nullptr);
    // All points of a calibration file, in file order (not sorted), the same way.
    static Outcome readCalibration(QIODevice &device, QVector<QPointF> *points,
                                   Counts *counts = nullptr, const Control *control = nullptr);
};

#endif // DATAFILEREADER_H
