#ifndef DATAFILEWRITER_H
#define DATAFILEWRITER_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>
#include <functional>

// Writes data files: one line "X<TAB>Y<TAB>dY" per point, each number as the shortest text that
// reads back as the same double, with a point as decimal separator (NumberText::exact). A file
// is replaced only by a complete new one (ReplacingFile).
class DataFileWriter
{
public:
    // How a write beside the window is followed and stopped: progress, when set, is told the
    // points written so far after every block; the write stops at the next block once cancel
    // is set, and the old file stays as it was.
    struct Control
    {
        std::function<void(int pointsWritten)> progress;
        const std::atomic<bool> *cancel = nullptr;
    };

    // The text of one line, ending in a line feed.
    static QByteArray formatLine(double x, double y, double delta);

    // The first row (counted from 1) among the first min(x, y, delta) whose numbers are not all
    // finite, or 0 when all are. Such a row would not read back.
    static int firstRowNotFinite(const QVector<double> &x, const QVector<double> &y,
                                 const QVector<double> &delta);

    // Writes the first min(x, y, delta) points to fileName. On failure returns false, leaves an
    // existing file as it was and puts the reason into *error; a cancelled write returns false
    // with *cancelled set.
    static bool write(const QString &fileName, const QVector<double> &x, const QVector<double> &y,
                      const QVector<double> &delta, QString *error,
                      const Control *control = nullptr, bool *cancelled = nullptr);
};

#endif // DATAFILEWRITER_H
