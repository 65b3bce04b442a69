#ifndef GRAPHEXPORT_H
#define GRAPHEXPORT_H

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

class QCustomPlot;

// Exports the plot as a JPEG, PNG or BMP image, a PDF page or an SVG picture, either at its size
// on the screen or on a page of a given size, resolution and text size, optionally with a second
// plot (the residuals) stacked under it on the same X axis. The picture is drawn in memory first
// and then written through ReplacingFile, so an existing file is replaced only by a complete
// export, and a full disk or a write-protected file is reported rather than leaving a broken
// picture. PDF and SVG are vector pictures: text stays text and every point is drawn.
class GraphExport
{
public:
    enum Format
    {
        Unknown,
        Jpg,
        Pdf,
        Png,
        Bmp,
        Svg
    };

    // The units a page size is given in; a pixel is one pixel of the screen the plot is on.
    enum Unit
    {
        Pixel,
        Millimetre,
        Inch
    };

    // What an export draws: the page size in unit, the resolution of a raster image in dots per
    // inch, the size of every text in points (0 keeps the plot's fonts), and the plot stacked
    // under the main plot (none when null).
    struct Page
    {
        QSizeF size;
        Unit unit = Pixel;
        double dpi = 300;
        double fontPt = 0;
        QCustomPlot *residuals = nullptr;
    };

    // The format of a lower-case file name extension: "jpg", "pdf", "png", "bmp" or "svg".
    static Format formatOf(const QString &extension);
    static bool isVector(Format format) { return format == Pdf || format == Svg; }

    // The page of the plot as it is on the screen: its size in pixels at the screen's resolution.
    static Page screenPage(QCustomPlot *plot);
    // A length in unit converted to inches; a pixel is 1 / screenDpi inch.
    static double toInches(double length, Unit unit, double screenDpi);
    // The pixel size of a raster image of page.
    static QSize pixelSize(QCustomPlot *plot, const Page &page);

    // Writes the plot to fileName as it is on the screen, or on page. On failure returns false and
    // puts the reason into *error.
    static bool save(QCustomPlot *plot, const QString &fileName, Format format, QString *error);
    static bool save(QCustomPlot *plot, const QString &fileName, Format format, const Page &page,
                     QString *error);

    // The raster image of page at its resolution (null when it could not be drawn).
    static QImage image(QCustomPlot *plot, const Page &page);
    // The bytes of the file of page in format; empty when the plot could not be drawn.
    static QByteArray render(QCustomPlot *plot, Format format, const Page &page);
};

#endif // GRAPHEXPORT_H
