#ifndef POINTSOURCE_H
#define POINTSOURCE_H

#include <QString>
#include <QVector>

// What the plot and the fit read of the table and the calibration. The window answers for the
// Data and Calibration panels, so that neither the plot nor the fit needs to know them.
class PointSource
{
public:
    virtual ~PointSource() = default;

    // One column of the table in row order: 0 X, 1 Y, 2 dY.
    virtual QVector<double> columnValues(int column) const = 0;
    // The Y column with the calibration's correction subtracted when it is in use.
    virtual QVector<double> correctedYValues() const = 0;
    // How many points lie outside the calibration in use, or empty when none do.
    virtual QString extrapolationText() const = 0;
    // One mark per row: whether the user left it out of the fit.
    virtual QVector<bool> leftOutRows() const = 0;
    // A number that changes with every change of the table (and its undo and redo).
    virtual quint64 tableState() const = 0;
    // The data file last read or saved (full path), empty when none was.
    virtual QString dataFileName() const = 0;
    // The calibration file whose correction correctedYValues() applies, empty when none is.
    virtual QString calibrationFileName() const = 0;
};

#endif // POINTSOURCE_H
