#ifndef GRAPHEXPORT_H
#define GRAPHEXPORT_H

#include <QString>

class QCustomPlot;

// Exports the plot, at its size on the screen, as a JPEG, PNG or BMP image or as a PDF page.
// An existing file is replaced only by a complete export: the plot is written to a new file
// beside it, which then takes its name.
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

    // Writes the plot to fileName. On failure returns false and puts the system's reason into
    // *error where one is known (it stays empty when the plot library failed without one).
    static bool save(QCustomPlot *plot, const QString &fileName, Format format, QString *error);

private:
    static bool exportTo(QCustomPlot *plot, const QString &fileName, Format format);
};

#endif // GRAPHEXPORT_H
