#include "data/replacingfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "data/filekind.h"

ReplacingFile::ReplacingFile(const QString &target) : target(target) {}

ReplacingFile::~ReplacingFile()
{
    if (file && !direct && !committed)
        file->remove();
}

// A file none of whose write permissions is set is write-protected, whoever runs the program
// (the system lets its administrator write it all the same).
bool ReplacingFile::open()
{
    const FileKind::Kind kind = FileKind::of(target);
    if (kind == FileKind::Other) {
        reason = QStringLiteral("not a regular file");
        return false;
    }
    if (kind == FileKind::Directory) {
        reason = QStringLiteral("Filename refers to a directory");
        return false;
    }
    if (kind == FileKind::CharacterDevice) {
        direct = true;
        file = std::make_unique<QFile>(target);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            reason = file->errorString();
            return false;
        }
        return true;
    }
    const QFileInfo info(target);
    const QFile::Permissions writable = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (kind == FileKind::Regular && (!info.isWritable() || !(info.permissions() & writable))) {
        reason = QStringLiteral("the file is write-protected");
        return false;
    }
    if (!info.dir().exists()) {
        reason = QString::fromLocal8Bit(std::strerror(ENOENT));
        return false;
    }
    // A new name of its own, made like any new file in that folder (so with the permissions the
    // user's file mode mask gives); another file of that name is never touched.
    for (int attempt = 0;; ++attempt) {
        file = std::make_unique<QFile>(info.dir().filePath(
            QStringLiteral(".vantorel-%1")
                .arg(QString::number(QRandomGenerator::global()->generate(), 36))));
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return true;
        if (!file->exists() || attempt == 100) {
            reason = file->errorString();
            file.reset();
            return false;
        }
    }
}

// Unbuffered writes meet the system at once: a short write is retried with the rest, so that a
// failure surfaces with the reason the system gives.
bool ReplacingFile::write(const char *bytes, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const qint64 written = file->write(bytes + done, length - done);
        if (written <= 0 || !file->flush()) {
            reason = file->errorString();
            return false;
        }
        done += written;
    }
    return true;
}

bool ReplacingFile::commit()
{
    file->close();
    if (file->error() != QFileDevice::NoError) {
        reason = file->errorString();
        return false;
    }
    if (direct)
        return true;
    const QFileInfo info(target);
    const QString destination = info.isFile() ? info.canonicalFilePath() : info.absoluteFilePath();
    if (info.exists())
        QFile::setPermissions(file->fileName(), QFile::permissions(destination));
    if (std::rename(QFile::encodeName(file->fileName()).constData(),
                    QFile::encodeName(destination).constData()) != 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    committed = true;
    return true;
}
