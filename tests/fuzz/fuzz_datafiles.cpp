// Feeds arbitrary bytes as a data file and as a calibration file, sorts the calibration and
// corrects every point read with it. Besides crashes and sanitizer findings, it stops on any
// broken promise of the readers and the correction.
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<int>(size));

    QBuffer pieces;
    openOn(pieces, bytes);
    int pieceCount = 0;
    size_t covered = 0;
    DataFileReader::forEachPiece(pieces, [&](const char *piece, int length) {
        FUZZ_CHECK(length >= 0 && length <= DataFileReader::pieceLength);
        FUZZ_CHECK(!std::memchr(piece, '\n', static_cast<size_t>(length)));
        FUZZ_CHECK(!std::memchr(piece, '\r', static_cast<size_t>(length)));
        covered += static_cast<size_t>(length);
        ++pieceCount;
    });
    // Every byte but the line ends is in exactly one piece.
    FUZZ_CHECK(covered == size - static_cast<size_t>(bytes.count('\n') + bytes.count('\r')));

    QBuffer dataFile;
    openOn(dataFile, bytes);
    int skipped = 0;
    const QVector<DataFileReader::Point> points = DataFileReader::readData(dataFile, &skipped);
    QBuffer calibrationFile;
    openOn(calibrationFile, bytes);
    int calibrationSkipped = 0;
    QVector<QPointF> calibration =
        DataFileReader::readCalibration(calibrationFile, &calibrationSkipped);

    // Both files share the line syntax: the same lines give the same first two numbers.
    FUZZ_CHECK(points.size() + skipped <= pieceCount);
    FUZZ_CHECK(points.size() == calibration.size() && skipped == calibrationSkipped);
    for (int i = 0; i < points.size(); ++i) {
        const DataFileReader::Point &p = points[i];
        FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.delta));
        FUZZ_CHECK(p.x == calibration[i].x() && p.y == calibration[i].y());
    }

    Calibration::sortByX(calibration);
    FUZZ_CHECK(std::is_sorted(calibration.cbegin(), calibration.cend(),
                              [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); }));

    // The table hands out single-precision values; so does this.
    QVector<double> x, y;
    for (const DataFileReader::Point &p : points) {
        x.append(static_cast<double>(static_cast<float>(p.x)));
        y.append(static_cast<double>(static_cast<float>(p.y)));
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
