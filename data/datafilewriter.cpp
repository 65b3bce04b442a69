#include "data/datafilewriter.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

#include "data/filekind.h"

QByteArray DataFileWriter::formatLine(double x, double y, double delta)
{
    return QStringLiteral("%1\t%2\t%3\n")
        .arg(QString::number(x, 'g', 6), QString::number(y, 'g', 6), QString::number(delta, 'g', 6))
        .toLocal8Bit();
}

// A short write is retried with the rest, so that a failure surfaces with the reason the
// system gives (a short write itself carries none).
static bool writeAll(QFileDevice &file, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

// Formats the points in blocks and writes them unbuffered, so that every write error is seen
// here and not lost in a flush on closing.
static bool writePoints(QFileDevice &file, const QVector<double> &x, const QVector<double> &y,
                        const QVector<double> &delta)
{
    const int n = std::min({x.size(), y.size(), delta.size()});
    const int blockLines = 4096;
    QByteArray block;
    for (int i = 0; i < n; ++i) {
        block += DataFileWriter::formatLine(x.at(i), y.at(i), delta.at(i));
        if ((i + 1) % blockLines == 0 || i + 1 == n) {
            if (!writeAll(file, block))
                return false;
            block.clear();
        }
    }
    return true;
}

// An ordinary file is written to a temporary file beside it, which replaces it only once
// complete. A character device (say /dev/full) has no content to keep, and renaming onto it
// would replace the device node itself, so it is written directly. A pipe or a socket is
// refused: writing to it could wait for ever for a reader.
bool DataFileWriter::write(const QString &fileName, const QVector<double> &x,
                           const QVector<double> &y, const QVector<double> &delta, QString *error)
{
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered;
    const FileKind::Kind kind = FileKind::of(fileName);
    if (kind == FileKind::Other) {
        *error = QStringLiteral("not a regular file");
        return false;
    }
    if (kind == FileKind::CharacterDevice) {
        QFile file(fileName);
        bool ok = file.open(mode) && writePoints(file, x, y, delta);
        if (ok) {
            file.close();
            ok = file.error() == QFileDevice::NoError;
        }
        if (!ok)
            *error = file.errorString();
        return ok;
    }

    QSaveFile file(fileName);
    if (!file.open(mode)) {
        *error = file.errorString();
        return false;
    }
    if (!writePoints(file, x, y, delta)) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
