#include "plot/graphexport.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <qcustomplot.h>

#include "data/replacingfile.h"

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

// The plot at its size on the screen, one image pixel per widget pixel, with the image writer's
// default quality. A PDF page shows the same picture at the same size: its resolution is that of
// the screen the plot is on, so that a font of so many points, a pen one pixel wide and the
// layout of the axes come out as they are drawn on the screen, and the page is as large as the
// plot there (a viewer at 100 % shows it as the PNG). Text stays text, lines stay lines, and
// pens of width 0 are drawn one screen pixel wide at any zoom of the viewer rather than as the
// thinnest line it can draw. No creator or title. Empty when the plot could not be drawn.
QByteArray GraphExport::render(QCustomPlot *plot, Format format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const int width = plot->viewport().width();
    const int height = plot->viewport().height();
    if (format == Pdf) {
        const int dpi = plot->logicalDpiX();
        QPdfWriter writer(&buffer);
        writer.setCreator(QString());
        writer.setTitle(QString());
        writer.setResolution(dpi);
        writer.setPageLayout(
            QPageLayout(QPageSize(QSizeF(double(width) / dpi, double(height) / dpi),
                                  QPageSize::Inch, QString(), QPageSize::ExactMatch),
                        QPageLayout::Portrait, QMarginsF()));
        QCPPainter painter;
        if (!painter.begin(&writer))
            return QByteArray();
        painter.setMode(QCPPainter::pmVectorized);
        painter.setMode(QCPPainter::pmNoCaching);
        painter.setMode(QCPPainter::pmNonCosmetic);
        plot->toPainter(&painter, width, height);
        painter.end();
        return buffer.data();
    }
    const char *const names[] = {"", "JPG", "", "PNG", "BMP"};
    if (!plot->toPixmap(width, height, 1.0).toImage().save(&buffer, names[format], -1))
        return QByteArray();
    return buffer.data();
}

bool GraphExport::save(QCustomPlot *plot, const QString &fileName, Format format, QString *error)
{
    ReplacingFile file(fileName);
    if (!file.open()) {
        *error = file.error();
        return false;
    }
    const QByteArray bytes = render(plot, format);
    if (bytes.isEmpty()) {
        *error = QStringLiteral("the plot could not be drawn");
        return false;
    }
    if (!file.write(bytes.constData(), bytes.size()) || !file.commit()) {
        *error = file.error();
        return false;
    }
    return true;
}
