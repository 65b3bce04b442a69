#ifndef GRAPHEXPORT_H
#define GRAPHEXPORT_H

#include <QByteArray>
#include <QString>

class QCustomPlot;

// Exports the plot, at its size on the screen, as a JPEG, PNG or BMP image or as a PDF page.
// The picture is drawn in memory first and then written through ReplacingFile, so an existing
// file is replaced only by a complete export, and a full disk or a write-protected file is
// reported rather than leaving a broken picture.
class GraphExport
{
public:
    enum Format
    {
        Unknown,
        Jpg,
        Pdf,
        Png,
        Bmp
    };

    // The format of a lower-case file name extension: "jpg", "pdf", "png" or "bmp".
    static Format formatOf(const QString &extension);

    // Writes the plot to fileName. On failure returns false and puts the reason into *error.
    static bool save(QCustomPlot *plot, const QString &fileName, Format format, QString *error);

private:
    static QByteArray render(QCustomPlot *plot, Format format);
};

#endif // GRAPHEXPORT_H
