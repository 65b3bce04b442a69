// MainWindow: the instrument link and the marker operations.
#include "app/mainwindow.h"

bool MainWindow::openDevice()
{
    return false;
}

void MainWindow::closeDevice() {}

void MainWindow::writeCommand(const QString &command)
{
    Q_UNUSED(command);
}

float MainWindow::readValue()
{
    return 0;
}

void MainWindow::showGpibError(const QString &message)
{
    Q_UNUSED(message);
}

MarkerPosition MainWindow::readMarker()
{
    return {};
}

void MainWindow::setMeasureStopped(bool stopped)
{
    measureStopped = stopped;
}

void MainWindow::on_pbSearchPeak_clicked() {}

void MainWindow::on_pbGetMarkerPos_clicked() {}

void MainWindow::on_pbStartMeasure_clicked() {}

void MainWindow::timerTick() {}
