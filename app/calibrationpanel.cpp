#include "app/calibrationpanel.h"

#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QStatusBar>

#include <cmath>

#include "app/datapanel.h"
#include "data/calibration.h"
#include "data/datafilereader.h"
#include "data/pointtablemodel.h"
#include "ui_mainwindow.h"

CalibrationPanel::CalibrationPanel(QMainWindow *window, Ui::MainWindow *ui, const DataPanel *data)
    : QObject(window), window(window), ui(ui), data(data)
{
}

// A cancelled dialog, a file that cannot be read and a file without a single calibration point
// leave the calibration in use and its name as they were; the status bar says why. A file read
// replaces the calibration, sorted by x. Lines that hold no calibration point are skipped, and
// the status bar says how many.
void CalibrationPanel::openCalibration()
{
    const QString fileName = QFileDialog::getOpenFileName(window, tr("Open Calibrations..."),
                                                          QString(), tr("TXT files (*.txt)"));
    if (!fileName.isEmpty()) {
        QString reason;
        DataFileReader::Counts counts;
        QVector<QPointF> loaded;
        QFile file(fileName);
        if (DataPanel::isIrregularFile(fileName)) {
            reason = tr("not a regular file");
        } else if (!file.open(QIODevice::ReadOnly)) {
            reason = file.errorString();
        } else {
            switch (DataFileReader::readCalibration(file, &loaded, &counts)) {
            case DataFileReader::Complete:
                break;
            case DataFileReader::ReadError:
                reason = file.errorString();
                break;
            case DataFileReader::OutOfMemory:
                reason = tr("its points do not fit into memory");
                break;
            case DataFileReader::Cancelled:
                reason = tr("cancelled");
                break;
            }
        }
        QStatusBar *status = ui->statusBar;
        if (!reason.isEmpty()) {
            status->showMessage(
                tr("Could not load calibration %1: %2; the calibration in use is unchanged")
                    .arg(fileName, reason));
        } else if (loaded.isEmpty()) {
            status->showMessage(tr("%1 holds no calibration points").arg(fileName));
        } else {
            Calibration::sortByX(loaded);
            calibration = loaded;
            this->fileName = QFileInfo(fileName).absoluteFilePath();
            ui->leCalibrationFile->setText(fileName);
            qDebug() << "Calibration loaded. N points:" << calibration.size();
            calibrationChanged();
            if (counts.skippedLines > 0) {
                QString text =
                    tr("Read %1 calibration points from %2; skipped %3 lines without numbers")
                        .arg(calibration.size())
                        .arg(fileName)
                        .arg(counts.skippedLines);
                const QString extrapolation = extrapolationText();
                if (!extrapolation.isEmpty())
                    text += QStringLiteral("; ") + extrapolation;
                status->showMessage(text);
            }
        }
    }
    emit refreshGraph();
}

// With "Use calibration" checked and a calibration loaded, the interpolated correction at each
// row's X is subtracted from its Y; otherwise the Y column comes back as it is.
QVector<double> CalibrationPanel::correctedYValues() const
{
    const QVector<double> y = data->columnValues(1);
    if (!correctionInUse())
        return y;
    return Calibration::corrected(calibration, data->columnValues(0), y);
}

bool CalibrationPanel::correctionInUse() const
{
    return ui->cbUseCalibration->isChecked() && !calibration.isEmpty();
}

// Points outside the calibration's first and last x have their correction extrapolated along
// the end segments, however far away they lie. 0 when the correction is not in use; *points
// gets the number of points with an X.
int CalibrationPanel::pointsOutsideCalibration(int *points) const
{
    int counted = 0;
    int outside = 0;
    if (correctionInUse()) {
        const double first = calibration.first().x();
        const double last = calibration.last().x();
        for (const DataPoint &point : data->model()->points()) {
            if (std::isnan(point.x))
                continue;
            ++counted;
            if (point.x < first || point.x > last)
                ++outside;
        }
    }
    if (points)
        *points = counted;
    return outside;
}

QString CalibrationPanel::extrapolationText() const
{
    int points = 0;
    const int outside = pointsOutsideCalibration(&points);
    if (outside == 0)
        return QString();
    const double first = calibration.first().x();
    const double last = calibration.last().x();
    return tr("%1 of %2 points lie outside the calibration (%3 to %4): their correction is "
              "extrapolated")
        .arg(outside)
        .arg(points)
        .arg(QString::number(first, 'g', 6), QString::number(last, 'g', 6));
}

void CalibrationPanel::showExtrapolation(bool applied)
{
    const QString text = applied ? extrapolationText() : QString();
    if (!text.isEmpty())
        ui->statusBar->showMessage(text);
}

QString CalibrationPanel::newExtrapolationNote()
{
    const int outside = pointsOutsideCalibration();
    if (outside == saidOutside)
        return QString();
    saidOutside = outside;
    return outside > 0 ? extrapolationText() : QString();
}

// A calibration loaded leaves the fit out of date; one applied says where it is extrapolated.
void CalibrationPanel::calibrationChanged()
{
    emit changed();
    noteOutside();
    showExtrapolation();
}
