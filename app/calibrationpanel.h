#ifndef CALIBRATIONPANEL_H
#define CALIBRATIONPANEL_H

#include <QObject>
#include <QPointF>
#include <QString>
#include <QVector>

namespace Ui {
class MainWindow;
}

class QMainWindow;
class DataPanel;

// The Calibration panel: the calibration points, loading them from a file, and the correction
// they give the table's Y values when "Use calibration" is checked, with the note on points
// whose correction is extrapolated.
class CalibrationPanel : public QObject
{
    Q_OBJECT

public:
    CalibrationPanel(QMainWindow *window, Ui::MainWindow *ui, const DataPanel *data);

    // Asks for a calibration file and loads it.
    void openCalibration();
    bool isLoaded() const { return !calibration.isEmpty(); }
    bool correctionInUse() const;
    // The file of the calibration whose correction is in use, empty when none is.
    QString fileInUse() const { return correctionInUse() ? fileName : QString(); }
    // The Y column, corrected when the correction is in use.
    QVector<double> correctedYValues() const;
    // How many points lie outside the calibration, when the correction is in use and some do;
    // showExtrapolation puts that in the status bar when the correction was applied.
    QString extrapolationText() const;
    int pointsOutsideCalibration(int *points = nullptr) const;
    void showExtrapolation(bool applied = true);
    // Takes the number of points outside the calibration as said; newExtrapolationNote gives
    // the extrapolation text once that number has changed to one above 0 since it was said.
    void noteOutside() { saidOutside = pointsOutsideCalibration(); }
    QString newExtrapolationNote();

signals:
    // A calibration was loaded: the fit is out of date.
    void changed();
    // The graph is to be redrawn.
    void refreshGraph();

private:
    void calibrationChanged();

    QMainWindow *window;
    Ui::MainWindow *ui;
    const DataPanel *data;
    QVector<QPointF> calibration;
    // The file the calibration was loaded from (full path).
    QString fileName;
    // The number of points outside the calibration as last said in the status bar.
    int saidOutside = 0;
};

#endif // CALIBRATIONPANEL_H
