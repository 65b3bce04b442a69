#include "data/datafilewriter.h"

#include <algorithm>
#include <cmath>

#include "data/numbertext.h"
#include "data/replacingfile.h"

// Appends the line of one point to text; its numbers must be finite.
static void appendLine(QByteArray &text, double x, double y, double delta)
{
    char line[3 * NumberText::exactLength + 3];
    int length = NumberText::exact(x, line);
    line[length++] = '\t';
    length += NumberText::exact(y, line + length);
    line[length++] = '\t';
    length += NumberText::exact(delta, line + length);
    line[length++] = '\n';
    text.append(line, length);
}

QByteArray DataFileWriter::formatLine(double x, double y, double delta)
{
    QByteArray text;
    appendLine(text, x, y, delta);
    return text;
}

int DataFileWriter::firstRowNotFinite(const QVector<double> &x, const QVector<double> &y,
                                      const QVector<double> &delta)
{
    const int n = std::min({x.size(), y.size(), delta.size()});
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(x.at(i)) || !std::isfinite(y.at(i)) || !std::isfinite(delta.at(i)))
            return i + 1;
    }
    return 0;
}

// Formats the points in blocks and writes each block as it is full, so that every write error
// is seen at once. A cancel is looked at between blocks.
static bool writePoints(ReplacingFile &file, const QVector<double> &x, const QVector<double> &y,
                        const QVector<double> &delta, const DataFileWriter::Control *control,
                        bool *cancelled)
{
    const int n = std::min({x.size(), y.size(), delta.size()});
    const int blockLines = 4096;
    QByteArray block;
    block.reserve(blockLines * 40);
    for (int i = 0; i < n; ++i) {
        appendLine(block, x.at(i), y.at(i), delta.at(i));
        if ((i + 1) % blockLines == 0 || i + 1 == n) {
            if (!file.write(block.constData(), block.size()))
                return false;
            block.clear();
            if (control && control->progress)
                control->progress(i + 1);
            if (control && control->cancel && control->cancel->load(std::memory_order_relaxed)) {
                *cancelled = true;
                return false;
            }
        }
    }
    return true;
}

// A value that is not finite would not read back: nothing is written then.
bool DataFileWriter::write(const QString &fileName, const QVector<double> &x,
                           const QVector<double> &y, const QVector<double> &delta, QString *error,
                           const Control *control, bool *cancelled)
{
    bool cancel = false;
    if (!cancelled)
        cancelled = &cancel;
    *cancelled = false;
    if (const int row = firstRowNotFinite(x, y, delta)) {
        *error = QStringLiteral("row %1 holds a value that is not a finite number").arg(row);
        return false;
    }
    ReplacingFile file(fileName);
    if (!file.open() || !writePoints(file, x, y, delta, control, cancelled) || !file.commit()) {
        *error = *cancelled ? QStringLiteral("cancelled") : file.error();
        return false;
    }
    return true;
}
