// MainWindow: the instrument link (short GPIB connections and their error report), the marker
// commands and the timed acquisition of points.
#include "app/mainwindow.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "data/numbertext.h"
#include "instrument/gpibdriver.h"
#include "ui_mainwindow.h"

namespace {

// The number of readings taken in the current run, 0 between runs; one for the whole program.
int tickCount = 0;

// Counts the failed transfers reported so far, in the GPIB error box or in the status bar. An
// operation compares it before and after its transfers to learn that one of them failed.
int transferFailures = 0;

// The X of the last reading of the current run: the X of the point the run appends.
double runX = 0;

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

// Reads one reply. A read the driver reports as failed (a time-out, say) gets the GPIB error
// box; a reply that is not one whole number ended by a line feed is reported in the status
// bar. Either failure gives 0, is counted, so that no caller takes it for a reading, and
// closes the connection.
float MainWindow::readValue()
{
    if (gpibDevice == 0)
        return 0;
    GpibDriver *driver = GpibDriver::current();
    char buffer[1024] = {};
    driver->ibrd(gpibDevice, buffer, sizeof buffer);
    if (driver->ThreadIbsta() & GpibDriver::ERR) {
        showGpibError(tr("ibrd error"));
        return 0;
    }
    // A count outside the buffer can only come from a faulty driver; never read past it.
    const int count = std::clamp(driver->ThreadIbcnt(), 0, static_cast<int>(sizeof buffer));
    const QString text = QString::fromUtf8(buffer, static_cast<int>(qstrnlen(buffer, count)));
    float value = 0;
    if (text.contains(QLatin1Char('\n')) && NumberText::toFloat(text, &value))
        return value;
    ++transferFailures;
    closeDevice();
    QString shown = text.simplified();
    if (shown.size() > 40)
        shown = shown.left(40) + QChar(0x2026);
    statusBar()->showMessage(tr("The analyser's reply is not a number: %1")
                                 .arg(shown.isEmpty() ? tr("(empty reply)") : shown));
    return 0;
}

// Shows the driver's status for the call that just failed, then closes the connection.
void MainWindow::showGpibError(const QString &message)
{
    GpibDriver *driver = GpibDriver::current();
    const int ibsta = driver->ThreadIbsta();
    const int iberr = driver->ThreadIberr();
    const int ibcnt = driver->ThreadIbcnt();
    ++transferFailures;

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

// One marker reading on a connection of its own. A failed transfer has been reported and has
// closed the connection, so the transfers after it do nothing; the reading is then {0, 0}.
MarkerPosition MainWindow::readMarker()
{
    const int failures = transferFailures;
    if (!openDevice())
        return {};
    writeCommand(QStringLiteral("CALC:MARK:X?"));
    const float x = readValue();
    writeCommand(QStringLiteral("CALC:MARK:Y?"));
    const float y = readValue();
    closeDevice();
    if (transferFailures != failures)
        return {};
    return {static_cast<double>(x), static_cast<double>(y)};
}

// Shows the marker position in the status bar. An operation ends at its first failed transfer:
// it neither reopens the connection after it nor shows a position it could not read.
void MainWindow::on_pbGetMarkerPos_clicked()
{
    const int failures = transferFailures;
    if (!openDevice() || transferFailures != failures)
        return;
    const MarkerPosition marker = readMarker();
    if (transferFailures != failures)
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
    const int failures = transferFailures;
    if (!openDevice() || transferFailures != failures)
        return;
    writeCommand(QStringLiteral("CALC:MARK:MAX"));
    if (transferFailures != failures)
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

// One reading of a run. The next one follows the reading interval (500 ms) after this one ends,
// until N readings are taken or Stop was pressed; then the run appends its point: X of the last
// reading, the mean of Y and the population standard deviation of Y. A reading that fails (it has
// been reported) is not counted and ends the run at once, with the readings taken before it, as if
// Stop had been pressed; a run without any reading appends nothing.
void MainWindow::timerTick()
{
    const int failures = transferFailures;
    const MarkerPosition marker = readMarker();
    const bool failed = transferFailures != failures;
    const int count = ui->sbPointsCount->value();
    if (!failed) {
        ++tickCount;
        runX = marker.x;
        sumY += marker.y;
        sumY2 += marker.y * marker.y;
        if (count > 0)
            ui->progressBar->setValue(tickCount * 100 / count);
        if (tickCount < count && !measureStopped) {
            QTimer::singleShot(readingIntervalMs, this, &MainWindow::timerTick);
            return;
        }
    }

    if (tickCount == 0) {
        ui->progressBar->setValue(0);
        statusBar()->showMessage(tr("Measurement stopped: no reading succeeded"));
        setMeasureStopped(true);
        return;
    }
    ui->progressBar->setValue(100);
    const double mean = sumY / tickCount;
    // Equal readings can leave the variance a hair below zero through rounding: dY is then 0.
    const double variance = sumY2 / tickCount - mean * mean;
    const double deviation = variance > 0 ? std::sqrt(variance) : 0.0;
    addPoint(runX, mean, deviation);
    updateGraph();
    statusBar()->showMessage(tr("Point added: X = %1; Y = %2; dY = %3")
                                 .arg(QString::number(runX, 'g', 6), QString::number(mean, 'g', 6),
                                      QString::number(deviation, 'g', 6)));
    setMeasureStopped(true);
    tickCount = 0;
}
