#include "data/datafilereader.h"

#include <QIODevice>
#include <QString>
#include <QStringView>

#include <cstring>
#include <new>

#include "data/numbertext.h"

// A carriage return ends a line by itself (files saved on old Macs and by some spreadsheets);
// one directly followed by a line feed ends it together with that line feed, also across the
// boundary of two blocks. A line longer than maxLineLength is followed to its end and given as
// too long, whatever its length.
DataFileReader::Outcome
DataFileReader::forEachLine(QIODevice &device, const std::function<void(const char *, int)> &visit,
                            const Control *control)
{
    std::vector<char> buffer(65536);
    char line[maxLineLength];
    int length = 0;
    bool tooLong = false;
    bool afterCarriageReturn = false;
    qint64 done = 0;
    const auto endLine = [&] {
        visit(line, tooLong ? lineTooLong : length);
        length = 0;
        tooLong = false;
    };
    for (;;) {
        if (control && control->cancel && control->cancel->load(std::memory_order_relaxed))
            return Cancelled;
        const qint64 got = device.read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (got < 0)
            return ReadError;
        if (got == 0)
            break;
        for (qint64 i = 0; i < got; ++i) {
            const char byte = buffer[i];
            if (afterCarriageReturn) {
                afterCarriageReturn = false;
                if (byte == '\n')
                    continue;
            }
            if (byte == '\n' || byte == '\r') {
                endLine();
                afterCarriageReturn = byte == '\r';
            } else if (length < maxLineLength) {
                line[length++] = byte;
            } else {
                tooLong = true;
            }
        }
        done += got;
        if (control && control->progress)
            control->progress(done);
    }
    if (length > 0 || tooLong)
        endLine();
    return Complete;
}

// Nothing but white space: no attempt at a point.
static bool isBlank(const char *bytes, int length)
{
    for (int i = 0; i < length; ++i) {
        const char c = bytes[i];
        if (c != ' ' && c != '\t' && c != '\v' && c != '\f')
            return false;
    }
    return true;
}

// The fields of a line: its bytes split at every TAB with empty fields kept, at most the first
// three. The byte order mark that spreadsheets put at the start of a UTF-8 file is no part of
// the first field. Returns the number of fields; a line holding a NUL byte is no text (a
// binary file, or one in UTF-16) and has none, so that it is skipped and counted like any
// other line that holds no point.
static int splitLine(const char *bytes, int length, const char *field[3], int fieldLength[3])
{
    if (std::memchr(bytes, '\0', static_cast<size_t>(length)))
        return 0;
    if (length >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
        bytes += 3;
        length -= 3;
    }
    int count = 0;
    const char *end = bytes + length;
    for (const char *start = bytes;;) {
        const void *tab = std::memchr(start, '\t', static_cast<size_t>(end - start));
        const char *stop = tab ? static_cast<const char *>(tab) : end;
        if (count < 3) {
            field[count] = start;
            fieldLength[count] = static_cast<int>(stop - start);
        }
        ++count;
        if (!tab)
            return count;
        start = stop + 1;
    }
}

bool DataFileReader::parseDataLine(const char *bytes, int length, DataPoint *point,
                                   bool *unreadableDy, bool *extraFields)
{
    const char *field[3];
    int fieldLength[3];
    const int fields = splitLine(bytes, length, field, fieldLength);
    DataPoint parsed;
    if (fields < 2 || !NumberText::toDouble(field[0], fieldLength[0], &parsed.x) ||
        !NumberText::toDouble(field[1], fieldLength[1], &parsed.y))
        return false;
    const bool dyGiven = fields > 2 && !isBlank(field[2], fieldLength[2]);
    *unreadableDy = dyGiven && !NumberText::toDouble(field[2], fieldLength[2], &parsed.dy);
    if (!dyGiven || *unreadableDy)
        parsed.dy = 0;
    if (extraFields)
        *extraFields = fields > 3;
    *point = parsed;
    return true;
}

bool DataFileReader::parseCalibrationLine(const char *bytes, int length, QPointF *point)
{
    const char *field[3];
    int fieldLength[3];
    double x = 0;
    double y = 0;
    if (splitLine(bytes, length, field, fieldLength) < 2 ||
        !NumberText::toDouble(field[0], fieldLength[0], &x) ||
        !NumberText::toDouble(field[1], fieldLength[1], &y))
        return false;
    *point = QPointF(x, y);
    return true;
}

// Reads every line of device with add, which takes a line and tells whether it held a point,
// and counts the lines that are neither a point nor blank. Memory running out ends the read.
template <typename Add>
static DataFileReader::Outcome readLines(QIODevice &device, DataFileReader::Counts *counts,
                                         const DataFileReader::Control *control, Add add)
{
    DataFileReader::Counts found;
    DataFileReader::Outcome outcome = DataFileReader::Complete;
    try {
        outcome = DataFileReader::forEachLine(
            device,
            [&](const char *bytes, int length) {
                if (length == DataFileReader::lineTooLong)
                    ++found.skippedLines;
                else if (!add(bytes, length, found) && !isBlank(bytes, length))
                    ++found.skippedLines;
            },
            control);
    } catch (const std::bad_alloc &) {
        outcome = DataFileReader::OutOfMemory;
    }
    if (counts)
        *counts = found;
    return outcome;
}

DataFileReader::Outcome DataFileReader::readData(QIODevice &device, std::vector<DataPoint> *points,
                                                 Counts *counts, const Control *control)
{
    std::vector<DataPoint> read;
    const Outcome outcome =
        readLines(device, counts, control, [&read](const char *bytes, int length, Counts &found) {
            DataPoint point;
            bool unreadableDy = false;
            bool extraFields = false;
            if (!parseDataLine(bytes, length, &point, &unreadableDy, &extraFields))
                return false;
            read.push_back(point);
            if (unreadableDy)
                ++found.unreadableDy;
            if (extraFields)
                ++found.extraFields;
            return true;
        });
    if (outcome == Complete)
        points->swap(read);
    return outcome;
}

DataFileReader::Outcome DataFileReader::readCalibration(QIODevice &device, QVector<QPointF> *points,
                                                        Counts *counts, const Control *control)
{
    std::vector<QPointF> read;
    const Outcome outcome =
        readLines(device, counts, control, [&read](const char *bytes, int length, Counts &) {
            QPointF point;
            if (!parseCalibrationLine(bytes, length, &point))
                return false;
            read.push_back(point);
            return true;
        });
    if (outcome == Complete) {
        try {
            *points = QVector<QPointF>(read.begin(), read.end());
        } catch (const std::bad_alloc &) {
            return OutOfMemory;
        }
    }
    return outcome;
}
