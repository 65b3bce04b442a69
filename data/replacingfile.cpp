#include "data/replacingfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "data/filekind.h"

static QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

static QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The file a path names once every symbolic link on its way is followed; for a link whose
// target does not exist yet, that target (where writing through the link creates it).
static QString resolved(const QString &path)
{
    QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    for (int links = 0; info.isSymLink() && links < 40; ++links)
        info = QFileInfo(info.symLinkTarget());
    return info.absoluteFilePath();
}

// The permission bits a new file gets from the file mode mask. The mask is read without
// changing it where the system tells it (changing it would race with other threads).
static unsigned int newFilePermissions()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const unsigned int mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return 0666 & ~mask;
            }
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes all of length bytes at offset (or at the current position when offset is -1).
static bool writeAll(int fd, const char *bytes, qint64 length, qint64 offset = -1)
{
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = offset < 0
                              ? ::write(fd, bytes + done, static_cast<size_t>(length - done))
                              : ::pwrite(fd, bytes + done, static_cast<size_t>(length - done),
                                         static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

ReplacingFile::ReplacingFile(const QString &target) : target(target) {}

ReplacingFile::~ReplacingFile()
{
    if (committed || mode == Closed)
        return;
    if (mode == InPlace) {
        restore();
        return;
    }
    if (fd >= 0)
        ::close(fd);
    if (mode == Replace)
        ::unlink(native(temporary).constData());
}

bool ReplacingFile::fail(int error)
{
    reason = systemText(error);
    return false;
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
        fd = ::open(native(target).constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return fail(errno);
        mode = Direct;
        return true;
    }
    destination = resolved(target);
    const QFileInfo info(destination);
    struct stat old;
    existed = kind == FileKind::Regular && ::stat(native(destination).constData(), &old) == 0;
    if (existed) {
        if (::access(native(destination).constData(), W_OK) != 0 ||
            !(old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
            reason = QStringLiteral("the file is write-protected");
            return false;
        }
        ownerId = old.st_uid;
        groupId = old.st_gid;
        permissions = old.st_mode & 07777;
    } else {
        permissions = newFilePermissions();
    }
    if (!info.dir().exists())
        return fail(ENOENT);
    // Another name for the same file would be split from it by a new one.
    if (existed && old.st_nlink > 1)
        return openInPlace();
    bool inPlace = false;
    if (openReplacement(info.absolutePath(), &inPlace))
        return true;
    if (!existed || !inPlace)
        return false;
    reason.clear();
    return openInPlace();
}

// A new file of a name of its own, readable by its owner alone, with the old file's owner and
// group. False with *inPlace set when the folder cannot be written or the new file cannot have
// that owner and group: the file itself is to be written then.
bool ReplacingFile::openReplacement(const QString &folder, bool *inPlace)
{
    for (int attempt = 0;; ++attempt) {
        temporary = QDir(folder).filePath(
            QStringLiteral(".vantorel-%1")
                .arg(QString::number(QRandomGenerator::global()->generate(), 36)));
        fd = ::open(native(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    S_IRUSR | S_IWUSR);
        if (fd >= 0)
            break;
        const int error = errno;
        temporary.clear();
        if (error == EEXIST && attempt < 100)
            continue;
        *inPlace = error == EACCES || error == EPERM;
        return fail(error);
    }
    mode = Replace;
    struct stat made;
    if (existed && (::fstat(fd, &made) != 0 || made.st_uid != ownerId || made.st_gid != groupId) &&
        ::fchown(fd, ownerId, groupId) != 0) {
        *inPlace = true;
        fail(errno);
        ::close(fd);
        fd = -1;
        ::unlink(native(temporary).constData());
        temporary.clear();
        mode = Closed;
        return false;
    }
    return true;
}

// Keeps a copy of the old contents (readable by the writer alone) and opens the file itself.
bool ReplacingFile::openInPlace()
{
    QFile source(destination);
    if (!source.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("its old contents could not be kept: %1").arg(source.errorString());
        return false;
    }
    oldContents = std::make_unique<QTemporaryFile>(
        QDir(QDir::tempPath()).filePath(QStringLiteral("vantorel-old-XXXXXX")));
    if (!oldContents->open()) {
        reason = QStringLiteral("its old contents could not be kept: %1")
                     .arg(oldContents->errorString());
        return false;
    }
    QByteArray block;
    for (;;) {
        block = source.read(1 << 16);
        if (block.isEmpty())
            break;
        if (oldContents->write(block) != block.size()) {
            reason = QStringLiteral("its old contents could not be kept: %1")
                         .arg(oldContents->errorString());
            return false;
        }
    }
    if (source.error() != QFileDevice::NoError || !oldContents->flush()) {
        reason = QStringLiteral("its old contents could not be kept: %1")
                     .arg(source.error() != QFileDevice::NoError ? source.errorString()
                                                                 : oldContents->errorString());
        return false;
    }
    oldSize = oldContents->size();
    fd = ::open(native(destination).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    mode = InPlace;
    return true;
}

// Writes the old contents back over the new ones. When even that fails, the copy stays and
// the reason says where.
bool ReplacingFile::restore()
{
    bool ok = oldContents && oldContents->seek(0);
    qint64 offset = 0;
    while (ok && offset < oldSize) {
        const QByteArray block = oldContents->read(1 << 16);
        ok = !block.isEmpty() && writeAll(fd, block.constData(), block.size(), offset);
        offset += block.size();
    }
    ok = ok && ::ftruncate(fd, static_cast<off_t>(oldSize)) == 0 && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    fd = -1;
    mode = Closed;
    if (!ok && oldContents) {
        oldContents->setAutoRemove(false);
        reason += QStringLiteral("; its old contents could not be put back (%1) and are kept in %2")
                      .arg(systemText(error), oldContents->fileName());
    }
    return ok;
}

bool ReplacingFile::write(const char *bytes, qint64 length)
{
    if (!writeAll(fd, bytes, length, mode == InPlace ? written : -1))
        return fail(errno);
    written += length;
    return true;
}

bool ReplacingFile::commit()
{
    if (mode == Direct) {
        const int result = ::close(fd);
        fd = -1;
        if (result != 0)
            return fail(errno);
        committed = true;
        return true;
    }
    if (mode == InPlace) {
        if (::ftruncate(fd, static_cast<off_t>(written)) != 0 || ::fsync(fd) != 0) {
            fail(errno);
            restore();
            return false;
        }
        committed = true;
        if (::close(fd) != 0) {
            fd = -1;
            return fail(errno);
        }
        fd = -1;
        return true;
    }
    // The data reach the disk before the name does, so that a crash leaves the old file or the
    // complete new one. chown may clear the set-user-ID bits, so the mode comes after it.
    if (::fsync(fd) != 0 || ::fchmod(fd, permissions) != 0)
        return fail(errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail(errno);
    if (std::rename(native(temporary).constData(), native(destination).constData()) != 0)
        return fail(errno);
    committed = true;
    const int folder =
        ::open(native(QFileInfo(destination).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (folder < 0 || ::fsync(folder) != 0) {
        const int error = errno;
        if (folder >= 0)
            ::close(folder);
        reason = QStringLiteral("the folder could not be synced: %1").arg(systemText(error));
        return false;
    }
    ::close(folder);
    return true;
}
