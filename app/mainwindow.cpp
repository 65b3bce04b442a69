#include "app/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>

#include <csignal>

#include "app/aboutform.h"
#include "app/calculationpanel.h"
#include "app/calibrationpanel.h"
#include "app/controlspanel.h"
#include "app/datapanel.h"
#include "app/fitreportwidget.h"
#include "app/graphview.h"
#include "app/sweeppanel.h"
#include "data/numbertext.h"
#include "data/pointtablemodel.h"
#include "ui_mainwindow.h"

// The icons are compiled into the static core library; registering them here keeps the
// linker from dropping them, whichever program links the library.
static void registerResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(images);
        return true;
    }();
    Q_UNUSED(registered);
}

// A write beyond the file-size limit of the process (ulimit -f) raises SIGXFSZ, which would end
// the program, unsaved table and all. Ignored, it turns into the write error the save reports.
static void ignoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}
Q_COREAPP_STARTUP_FUNCTION(ignoreFileSizeSignal)

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), dataPanel(nullptr), calibrationPanel(nullptr),
      aboutForm(new AboutForm(this))
{
    registerResources();
    ui->setupUi(this);
    dataPanel = new DataPanel(this, ui);
    calibrationPanel = new CalibrationPanel(this, ui, dataPanel);
    dataPanel->setCalibration(calibrationPanel);

    ui->dwControls->setVisible(false);
    ui->dwData->setVisible(false);
    ui->dwCalculation->setVisible(false);
    ui->dwCalibration->setVisible(false);
    ui->dwFitReport->setVisible(false);
    ui->dwSweep->setVisible(false);

    connect(ui->actionAbout_Qt, &QAction::triggered, qApp, &QApplication::aboutQt);
    connect(ui->menuPanels, &QMenu::aboutToShow, this, &MainWindow::updatePanelsMenu);
    connect(ui->actionUpdateGraph, &QAction::triggered, this, &MainWindow::updateGraph);
    connect(ui->actionAbout, &QAction::triggered, aboutForm, &QDialog::exec);
    connect(ui->cbUseCalibration, &QCheckBox::toggled, this, &MainWindow::updateGraph);
    connect(ui->actionSave, &QAction::triggered, [this] { saveData(false); });
    connect(ui->pbSaveDataWithCorrection, &QPushButton::clicked, [this] { saveData(true); });

    connect(dataPanel, &DataPanel::refreshGraph, this, &MainWindow::updateGraph);
    connect(calibrationPanel, &CalibrationPanel::refreshGraph, this, &MainWindow::updateGraph);
    // Any change of the points or of the calibration leaves the last fit out of date.
    const PointTableModel *model = dataPanel->model();
    const auto fitChanged = [this] {
        graph->pointsChanged();
        setFitOutOfDate(true, FitReportWidget::TableChange);
    };
    connect(model, &QAbstractItemModel::rowsInserted, this, fitChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, fitChanged);
    connect(model, &QAbstractItemModel::dataChanged, this, fitChanged);
    connect(model, &QAbstractItemModel::modelReset, this, fitChanged);
    connect(model, &QAbstractItemModel::layoutChanged, this, fitChanged);
    connect(calibrationPanel, &CalibrationPanel::changed, this, [this] {
        graph->pointsChanged();
        setFitOutOfDate(true, FitReportWidget::CalibrationChange);
    });
    connect(ui->cbUseCalibration, &QCheckBox::toggled, this, &MainWindow::calibrationToggled);
    // Numbers read the same everywhere in the window, whatever the desktop's language (the
    // table does so too).
    ui->wPlot->setLocale(NumberText::locale());

    graph = new GraphView(ui->wPlot, ui->wFitReport, this, this);
    connect(ui->actionGraphTitles, &QAction::triggered, this, [this] { graph->editTitles(this); });
    connect(ui->actionGraphLegend, &QAction::toggled, graph, &GraphView::setLegendVisible);
    connect(ui->actionCopyGraph, &QAction::triggered, graph, &GraphView::copyGraph);
    connect(ui->actionExportGraph, &QAction::triggered, this, [this] {
        if (graph->exportWithDialog(this))
            clearSaveFailure();
    });
    calculationPanel = new CalculationPanel(this, ui, this, graph);
    connect(ui->actionSaveReport, &QAction::triggered, ui->wFitReport,
            &FitReportWidget::saveReport);
    connect(ui->wFitReport, &FitReportWidget::reportAvailable, ui->actionSaveReport,
            &QAction::setEnabled);
    connect(ui->wFitReport, &FitReportWidget::statusMessage, ui->statusBar,
            [this](const QString &text) { ui->statusBar->showMessage(text); });
    // A message longer than the status bar is cut off at the instrument's name; its tool tip
    // holds it whole.
    connect(ui->statusBar, &QStatusBar::messageChanged, ui->statusBar, &QWidget::setToolTip);
    // The fit report goes below the Calculation panel, whose results it explains.
    splitDockWidget(ui->dwCalculation, ui->dwFitReport, Qt::Vertical);
    controls = new ControlsPanel(this, ui);
    // A run's point goes into the table and the plot.
    connect(controls, &ControlsPanel::pointMeasured, this, &MainWindow::addPoint);
    connect(controls, &ControlsPanel::pointMeasured, this, &MainWindow::updateGraph);
    // A sweep's points go in one by one, all of them one step to undo.
    ui->wSweep->attach(this, ui->statusBar, controls);
    connect(ui->wSweep, &SweepPanel::pointMeasured, this,
            [this](double x, double y, double dY, quint64 sweep) {
                dataPanel->addSweepPoint(x, y, dY, sweep);
                updateGraph();
            });
}

// The instrument thread ends first, while the widgets a run's end would touch still exist.
MainWindow::~MainWindow()
{
    ui->wSweep->shutDown();
    delete controls;
    // The fit's worker ends before the form it reports into goes.
    delete calculationPanel;
    delete ui;
}

void MainWindow::setReadingInterval(int milliseconds)
{
    controls->setReadingInterval(milliseconds);
}

void MainWindow::on_pbSearchPeak_clicked()
{
    controls->searchPeak();
}

void MainWindow::on_pbGetMarkerPos_clicked()
{
    controls->getMarkerPos();
}

void MainWindow::on_pbStartMeasure_clicked()
{
    controls->startOrStop();
}

void MainWindow::timerTick(int taken, int count)
{
    controls->showProgress(taken, count);
}

void MainWindow::setFileDialogDelay(int milliseconds)
{
    dataPanel->setFileDialogDelay(milliseconds);
}

void MainWindow::setUndoBudget(std::size_t bytes)
{
    dataPanel->setUndoBudget(bytes);
}

// Sets each panel toggle to the visibility its dock has now, so a panel closed by its own
// title-bar button shows unchecked. Setting a check mark re-emits toggled(), which only
// repeats the visibility the dock already has.
void MainWindow::updatePanelsMenu()
{
    ui->actionControls->setChecked(ui->dwControls->isVisible());
    ui->actionData->setChecked(ui->dwData->isVisible());
    ui->actionCalculation->setChecked(ui->dwCalculation->isVisible());
    ui->actionCalibration->setChecked(ui->dwCalibration->isVisible());
    ui->actionFitReport->setChecked(ui->dwFitReport->isVisible());
    ui->actionSweep->setChecked(ui->dwSweep->isVisible());
}

// The menu opens at the mouse pointer, wherever the request came from.
void MainWindow::on_twData_customContextMenuRequested(const QPoint &pos)
{
    Q_UNUSED(pos);
    dataPanel->showContextMenu();
}

// The slots of the Data and Calibration panels hand over to them; each panel asks for the graph
// to be redrawn itself (refreshGraph), also when a file is read or written beside the window.
void MainWindow::addPoint(double x, double y, double delta)
{
    dataPanel->addPoint(x, y, delta);
}

void MainWindow::on_actionClear_triggered()
{
    dataPanel->clear();
}

void MainWindow::on_actionAddPoint_triggered()
{
    dataPanel->addPointFromDialog();
}

void MainWindow::on_actionOpen_triggered()
{
    dataPanel->openData();
}

void MainWindow::on_actionDelete_Selection_triggered()
{
    dataPanel->deleteSelection();
}

void MainWindow::on_actionLeaveOutOfFit_triggered()
{
    dataPanel->leaveOutSelection();
}

void MainWindow::on_actionUndo_triggered()
{
    dataPanel->undo();
}

void MainWindow::on_actionRedo_triggered()
{
    dataPanel->redo();
}

// True when the file was written before the call returns; false too for a save that goes on
// beside the window and ends by itself.
bool MainWindow::saveData(bool Correction)
{
    return dataPanel->saveData(Correction);
}

void MainWindow::on_tbOpenCalibration_clicked()
{
    calibrationPanel->openCalibration();
}

QVector<double> MainWindow::columnValues(int column) const
{
    return dataPanel->columnValues(column);
}

QVector<double> MainWindow::correctedYValues() const
{
    return calibrationPanel->correctedYValues();
}

QString MainWindow::extrapolationText() const
{
    return calibrationPanel->extrapolationText();
}

quint64 MainWindow::tableState() const
{
    return dataPanel->model()->state();
}

QString MainWindow::dataFileName() const
{
    return dataPanel->fileName();
}

QString MainWindow::calibrationFileName() const
{
    return calibrationPanel->fileInUse();
}

QVector<bool> MainWindow::leftOutRows() const
{
    return dataPanel->model()->leftOutRows();
}

void MainWindow::showSaveFailure(const QString &message)
{
    dataPanel->showSaveFailure(message);
}

void MainWindow::clearSaveFailure()
{
    dataPanel->clearSaveFailure();
}

// A running measurement may keep the window; a running fit is cancelled first and the window
// closes (and asks) once it has ended; then the Data panel asks about unsaved points.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!controls->mayClose() || !ui->wSweep->mayClose()) {
        event->ignore();
        return;
    }
    if (calculationPanel->isRunning()) {
        calculationPanel->closeWhenEnded();
        event->ignore();
        return;
    }
    if (dataPanel->mayClose())
        event->accept();
    else
        event->ignore();
}

// Replaces the plotted points by the table's (Y corrected when the calibration is switched on)
// and fits the axes exactly to the points, their bars and the fit curve: the full view.
void MainWindow::updateGraph()
{
    graph->update();
}

void MainWindow::on_pbCalculate_clicked()
{
    calculationPanel->calculate();
}

void MainWindow::setFitOutOfDate(bool outOfDate, int change)
{
    calculationPanel->setFitOutOfDate(outOfDate, change);
}

// A name the plot cannot be exported under, and an export that fails, are reported in a warning
// box.
void MainWindow::on_actionSaveGraph_triggered()
{
    QString failure;
    switch (graph->exportGraph(this, &failure)) {
    case GraphView::Export::Cancelled:
        return;
    case GraphView::Export::Failed:
        showSaveFailure(failure);
        return;
    case GraphView::Export::Saved:
        clearSaveFailure();
        return;
    }
}
