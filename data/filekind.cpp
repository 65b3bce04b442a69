#include "data/filekind.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

FileKind::Kind FileKind::of(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return Missing;
    if (S_ISREG(status.st_mode))
        return Regular;
    if (S_ISDIR(status.st_mode))
        return Directory;
    if (S_ISCHR(status.st_mode))
        return CharacterDevice;
    return Other;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return Missing;
    if (info.isFile())
        return Regular;
    return info.isDir() ? Directory : Other;
#endif
}
