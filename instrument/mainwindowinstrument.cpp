// MainWindow: the instrument link (short GPIB connections and their error report), the marker
// commands and the timed acquisition of points.
#include "app/mainwindow.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "instrument/gpibdriver.h"
#include "ui_mainwindow.h"

namespace {

// The number of readings taken in the current run, 0 between runs; one for the whole program.
int tickCount = 0;

// Counts the GPIB error reports shown so far. An operation compares it before and after its
// transfers to learn that one of them failed and was reported.
int gpibErrorReports = 0;

// Picks the GPIB driver as the program starts, so the debug line naming it comes first.
void selectGpibDriver()
{
    GpibDriver::current();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(selectGpibDriver)

bool MainWindow::openDevice()
{
    if (gpibDevice != 0)
        return true;
    GpibDriver *driver = GpibDriver::current();
    const int device = driver->ibdev(0, ui->sbGpibAddress->value(), 0, 11, 1, 0);
    if (device < 0) {
        showGpibError(tr("ibdev error"));
        return false;
    }
    gpibDevice = device;
    driver->ibclr(gpibDevice);
    if (driver->ThreadIbsta() & GpibDriver::ERR) {
        showGpibError(tr("ibclr error"));
        return false;
    }
    // A failure here is reported by the write, which also closes the connection.
    writeCommand(QStringLiteral("SYST:DISP:UPD ON"));
    return true;
}

void MainWindow::closeDevice()
{
    if (gpibDevice == 0)
        return;
    GpibDriver::current()->ibonl(gpibDevice, 0);
    gpibDevice = 0;
}

// Sends command without terminator: the driver marks the last byte with EOI.
void MainWindow::writeCommand(const QString &command)
{
    if (gpibDevice == 0)
        return;
    GpibDriver *driver = GpibDriver::current();
    const QByteArray bytes = command.toLocal8Bit();
    driver->ibwrt(gpibDevice, bytes.constData(), bytes.size());
    if (driver->ThreadIbsta() & GpibDriver::ERR)
        showGpibError(tr("ibwrt error"));
}

// Reads one reply. Only a reply that arrived whole, with its line feed, gives a number;
// nothing, a time-out, a truncated reply or text that is not a finite number gives 0.
float MainWindow::readValue()
{
    if (gpibDevice == 0)
        return 0;
    GpibDriver *driver = GpibDriver::current();
    char buffer[1024] = {};
    driver->ibrd(gpibDevice, buffer, sizeof buffer);
    // A count outside the buffer can only come from a faulty driver; never read past it.
    const int count = std::clamp(driver->ThreadIbcnt(), 0, static_cast<int>(sizeof buffer));
    const QString text = QString::fromUtf8(buffer, static_cast<int>(qstrnlen(buffer, count)));
    if (!text.contains(QLatin1Char('\n')))
        return 0;
    // A comma separates values in an instrument reply, so it is never taken for a digit
    // group separator: "1,000" is not a thousand.
    QLocale locale = QLocale::c();
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const float value = locale.toFloat(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? value : 0;
}

// Shows the driver's status for the call that just failed, then closes the connection.
void MainWindow::showGpibError(const QString &message)
{
    GpibDriver *driver = GpibDriver::current();
    const int ibsta = driver->ThreadIbsta();
    const int iberr = driver->ThreadIberr();
    const int ibcnt = driver->ThreadIbcnt();
    ++gpibErrorReports;

    QString text = QStringLiteral("%1\r\nibsta = 0x%2, iberr = 0x%3\r\n")
                       .arg(message, QString::number(static_cast<uint>(ibsta), 16),
                            QString::number(static_cast<uint>(iberr), 16));
    text += QStringLiteral("ibsta ===> ") + GpibDriver::statusNames(ibsta);
    text += QStringLiteral("\r\niberr ===> ");
    const QString errorName = GpibDriver::errorName(iberr);
    if (!errorName.isEmpty())
        text += errorName + QLatin1Char(' ');
    text += QStringLiteral("\r\nibcnt = %1").arg(ibcnt);

    QMessageBox box(QMessageBox::Warning, tr("GPIB Error"), text, QMessageBox::Ok, this);
    box.exec();
    closeDevice();
}

// One marker reading on a connection of its own. A reading during which a transfer failed
// (and was reported) is {0, 0}.
MarkerPosition MainWindow::readMarker()
{
    const int reports = gpibErrorReports;
    if (!openDevice() || gpibErrorReports != reports)
        return {};
    writeCommand(QStringLiteral("CALC:MARK:X?"));
    const float x = readValue();
    writeCommand(QStringLiteral("CALC:MARK:Y?"));
    const float y = readValue();
    closeDevice();
    if (gpibErrorReports != reports)
        return {};
    return {static_cast<double>(x), static_cast<double>(y)};
}

// Shows the marker position in the status bar. An operation ends at its first error report:
// it neither reopens the connection after it nor shows a position it could not read.
void MainWindow::on_pbGetMarkerPos_clicked()
{
    const int reports = gpibErrorReports;
    if (!openDevice() || gpibErrorReports != reports)
        return;
    const MarkerPosition marker = readMarker();
    if (gpibErrorReports != reports)
        return;
    statusBar()->showMessage(
        tr("Marker Pos: X = %1; Y = %2")
            .arg(QString::number(marker.x, 'g', 6), QString::number(marker.y, 'g', 6)));
    closeDevice();
}

// Puts the marker on the highest peak and shows where it went. Nothing waits for the
// analyser: the marker queries that follow are answered once the search is done.
void MainWindow::on_pbSearchPeak_clicked()
{
    const int reports = gpibErrorReports;
    if (!openDevice() || gpibErrorReports != reports)
        return;
    writeCommand(QStringLiteral("CALC:MARK:MAX"));
    if (gpibErrorReports != reports)
        return;
    on_pbGetMarkerPos_clicked();
}

void MainWindow::setMeasureStopped(bool stopped)
{
    measureStopped = stopped;
    ui->pbStartMeasure->setText(stopped ? tr("Start") : tr("Stop"));
    ui->sbGpibAddress->setEnabled(stopped);
    ui->sbPointsCount->setEnabled(stopped);
    ui->pbSearchPeak->setEnabled(stopped);
    ui->pbGetMarkerPos->setEnabled(stopped);
}

// Starts a run, or asks the running one to stop after the reading already scheduled. A Start
// pressed while a stopped run still waits for that reading is ignored: the pending reading
// closes the old run first, so two chains of readings never run at once and no run counts
// another's readings.
void MainWindow::on_pbStartMeasure_clicked()
{
    if (ui->pbStartMeasure->text() == tr("Start")) {
        if (tickCount != 0)
            return;
        setMeasureStopped(false);
        sumY = 0;
        sumY2 = 0;
        timerTick();
    } else {
        setMeasureStopped(true);
    }
}

// One reading of a run. The next one follows 500 ms after this one ends, until N readings
// are taken or Stop was pressed; then the run appends its point: X of the last reading, the
// mean of Y and the population standard deviation of Y.
void MainWindow::timerTick()
{
    ++tickCount;
    const MarkerPosition marker = readMarker();
    sumY += marker.y;
    sumY2 += marker.y * marker.y;
    const int count = ui->sbPointsCount->value();
    if (count > 0)
        ui->progressBar->setValue(tickCount * 100 / count);
    if (tickCount < count && !measureStopped) {
        QTimer::singleShot(500, this, &MainWindow::timerTick);
        return;
    }

    ui->progressBar->setValue(100);
    const double mean = sumY / tickCount;
    // Equal readings can leave the variance a hair below zero through rounding: dY is then 0.
    const double variance = sumY2 / tickCount - mean * mean;
    const double deviation = variance > 0 ? std::sqrt(variance) : 0.0;
    addPoint(marker.x, mean, deviation);
    updateGraph();
    statusBar()->showMessage(tr("Point added: X = %1; Y = %2; dY = %3")
                                 .arg(QString::number(marker.x, 'g', 6),
                                      QString::number(mean, 'g', 6),
                                      QString::number(deviation, 'g', 6)));
    setMeasureStopped(true);
    tickCount = 0;
}
