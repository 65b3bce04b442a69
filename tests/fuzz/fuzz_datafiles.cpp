// Feeds arbitrary bytes as a data file and as a calibration file, writes every point read and
// reads it back, sorts the calibration and corrects every point read with it. Besides crashes and
// sanitizer findings, it stops on any broken promise of the readers and the correction.
#include <QBuffer>
#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/calibration.h"
#include "data/datafilereader.h"
#include "data/datafilewriter.h"
#include "data/numbertext.h"

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "check failed: %s (line %d)\n", #condition, __LINE__);            \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

static void openOn(QBuffer &buffer, const QByteArray &bytes)
{
    buffer.setData(bytes);
    FUZZ_CHECK(buffer.open(QIODevice::ReadOnly));
}

// Values small enough, and distinct x far enough apart, that no slope or product can
// overflow: there every correction must be a finite number.
static bool moderate(const QVector<QPointF> &sorted)
{
    const double limit = 1e6;
    for (int j = 0; j < sorted.size(); ++j) {
        if (std::abs(sorted[j].x()) > limit || std::abs(sorted[j].y()) > limit)
            return false;
        const double width = j > 0 ? sorted[j].x() - sorted[j - 1].x() : 0;
        if (width != 0 && width < 1e-6)
            return false;
    }
    return true;
}

// Whether two numbers are the same to the bit (a point's padding is not compared).
static bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<int>(size));

    QBuffer lines;
    openOn(lines, bytes);
    int lineCount = 0;
    size_t covered = 0;
    const auto outcome = DataFileReader::forEachLine(lines, [&](const char *line, int length) {
        ++lineCount;
        if (length == DataFileReader::lineTooLong)
            return;
        FUZZ_CHECK(length >= 0 && length <= DataFileReader::maxLineLength);
        FUZZ_CHECK(!std::memchr(line, '\n', static_cast<size_t>(length)));
        FUZZ_CHECK(!std::memchr(line, '\r', static_cast<size_t>(length)));
        covered += static_cast<size_t>(length);
        // The quick conversion of plain ASCII agrees with the locale's conversion of the text.
        for (int start = 0; start < length;) {
            const char *tab =
                static_cast<const char *>(std::memchr(line + start, '\t', size_t(length - start)));
            const int end = tab ? static_cast<int>(tab - line) : length;
            double quick = 0;
            double slow = 0;
            const bool quickOk = NumberText::toDouble(line + start, end - start, &quick);
            const bool slowOk =
                NumberText::toDouble(QString::fromUtf8(line + start, end - start), &slow);
            FUZZ_CHECK(quickOk == slowOk);
            FUZZ_CHECK(!quickOk || std::memcmp(&quick, &slow, sizeof quick) == 0);
            start = end + 1;
        }
    });
    FUZZ_CHECK(outcome == DataFileReader::Complete);
    // Every byte but the line ends is in exactly one line that fits, or in one too long.
    FUZZ_CHECK(covered <= size - static_cast<size_t>(bytes.count('\n') + bytes.count('\r')));

    QBuffer dataFile;
    openOn(dataFile, bytes);
    std::vector<DataPoint> points;
    DataFileReader::Counts counts;
    FUZZ_CHECK(DataFileReader::readData(dataFile, &points, &counts) == DataFileReader::Complete);
    QBuffer calibrationFile;
    openOn(calibrationFile, bytes);
    QVector<QPointF> calibration;
    DataFileReader::Counts calibrationCounts;
    FUZZ_CHECK(DataFileReader::readCalibration(calibrationFile, &calibration, &calibrationCounts) ==
               DataFileReader::Complete);

    // Both files share the line syntax: the same lines give the same first two numbers.
    FUZZ_CHECK(int(points.size()) + counts.skippedLines <= lineCount);
    FUZZ_CHECK(int(points.size()) == calibration.size() &&
               counts.skippedLines == calibrationCounts.skippedLines);
    FUZZ_CHECK(counts.unreadableDy <= int(points.size()));
    FUZZ_CHECK(counts.extraFields <= int(points.size()) && calibrationCounts.extraFields == 0);
    for (size_t i = 0; i < points.size(); ++i) {
        const DataPoint &p = points[i];
        FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.dy));
        FUZZ_CHECK(p.x == calibration[int(i)].x() && p.y == calibration[int(i)].y());
        // What the writer makes of a point reads back as the same point, to the bit.
        const QByteArray line = DataFileWriter::formatLine(p.x, p.y, p.dy);
        DataPoint back;
        bool unreadable = true;
        FUZZ_CHECK(
            DataFileReader::parseDataLine(line.constData(), line.size() - 1, &back, &unreadable));
        FUZZ_CHECK(!unreadable && sameBits(back.x, p.x) && sameBits(back.y, p.y) &&
                   sameBits(back.dy, p.dy) && back.leftOut == p.leftOut);
    }

    Calibration::sortByX(calibration);
    FUZZ_CHECK(std::is_sorted(calibration.cbegin(), calibration.cend(),
                              [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); }));

    QVector<double> x, y;
    for (const DataPoint &p : points) {
        x.append(p.x);
        y.append(p.y);
    }
    const QVector<double> corrected = Calibration::corrected(calibration, x, y);
    FUZZ_CHECK(corrected.size() == y.size());

    if (calibration.size() == 1) {
        for (double value : x)
            FUZZ_CHECK(Calibration::correctionAt(calibration, value) == calibration[0].y());
    }
    if (!calibration.isEmpty() && moderate(calibration)) {
        for (double value : x) {
            if (std::abs(value) <= 1e6)
                FUZZ_CHECK(std::isfinite(Calibration::correctionAt(calibration, value)));
        }
        // At a calibration point of its own x (past the first) the correction is its y.
        for (int j = 1; j < calibration.size(); ++j) {
            const bool shared =
                calibration[j].x() == calibration[j - 1].x() ||
                (j + 1 < calibration.size() && calibration[j].x() == calibration[j + 1].x());
            if (!shared)
                FUZZ_CHECK(Calibration::correctionAt(calibration, calibration[j].x()) ==
                           calibration[j].y());
        }
    }
    return 0;
}
