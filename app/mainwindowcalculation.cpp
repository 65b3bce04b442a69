// MainWindow: the Calculate button of the calculation panel.
#include "app/mainwindow.h"

void MainWindow::on_pbCalculate_clicked() {}
