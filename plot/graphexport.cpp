#include "plot/graphexport.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <qcustomplot.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "data/filekind.h"

GraphExport::Format GraphExport::formatOf(const QString &extension)
{
    if (extension == QLatin1String("jpg"))
        return Jpg;
    if (extension == QLatin1String("pdf"))
        return Pdf;
    if (extension == QLatin1String("png"))
        return Png;
    if (extension == QLatin1String("bmp"))
        return Bmp;
    return Unknown;
}

// Width and height 0 take the plot's size on the screen, scale 1 one image pixel per widget
// pixel, quality -1 the image writer's default.
bool GraphExport::exportTo(QCustomPlot *plot, const QString &fileName, Format format)
{
    switch (format) {
    case Jpg:
        return plot->saveJpg(fileName, 0, 0, 1.0, -1);
    case Pdf:
        return plot->savePdf(fileName, 0, 0, QCP::epAllowCosmetic, QString(), QString());
    case Png:
        return plot->savePng(fileName, 0, 0, 1.0, -1);
    case Bmp:
        return plot->saveBmp(fileName, 0, 0, 1.0);
    case Unknown:
        break;
    }
    return false;
}

// A character device (say /dev/null) has no content to keep, and renaming onto it would replace
// the device node itself, so it is written directly; a pipe or a socket is refused, as it could
// block the window. Anything else is written to a new file in the same folder, created with
// the permissions any new file gets there (or those of the file it replaces), and renamed over
// the target once the export is complete.
bool GraphExport::save(QCustomPlot *plot, const QString &fileName, Format format, QString *error)
{
    const FileKind::Kind kind = FileKind::of(fileName);
    if (kind == FileKind::Other) {
        *error = QStringLiteral("not a regular file");
        return false;
    }
    if (kind == FileKind::CharacterDevice)
        return exportTo(plot, fileName, format);

    const QFileInfo info(fileName);
    const QString target = info.isFile() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QFileInfo targetInfo(target);
    QFile temporary;
    for (int attempt = 0;; ++attempt) {
        temporary.setFileName(QStringLiteral("%1/.%2.%3.%4")
                                  .arg(targetInfo.absolutePath(), targetInfo.fileName(),
                                       QString::number(QRandomGenerator::global()->generate(), 36),
                                       targetInfo.suffix()));
        if (temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!temporary.exists() || attempt == 100) {
            *error = temporary.errorString();
            return false;
        }
    }
    temporary.close();
    if (!exportTo(plot, temporary.fileName(), format)) {
        temporary.remove();
        return false;
    }
    if (targetInfo.exists())
        temporary.setPermissions(QFile::permissions(target));
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        temporary.remove();
        return false;
    }
    return true;
}
