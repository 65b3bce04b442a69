#include "app/mainwindow.h"

#include <QApplication>
#include <QCursor>
#include <QHeaderView>
#include <QMenu>
#include <QUndoStack>

#include <csignal>

#include "app/aboutform.h"
#include "app/backgroundtask.h"
#include "app/controlspanel.h"
#include "app/fitreportwidget.h"
#include "app/fitrunner.h"
#include "data/numbertext.h"
#include "data/pointtablemodel.h"
#include "data/qdoubledelegate.h"
#include "regression/cabstractregresscalculation.h"
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
    : QMainWindow(parent), ui(new Ui::MainWindow), model(new PointTableModel(this)),
      undoStack(new QUndoStack(this)), calculation(nullptr), aboutForm(new AboutForm(this)),
      fitRunner(new FitRunner(this)), fileTask(new BackgroundTask(this))
{
    registerResources();
    ui->setupUi(this);

    ui->dwControls->setVisible(false);
    ui->dwData->setVisible(false);
    ui->dwCalculation->setVisible(false);
    ui->dwCalibration->setVisible(false);
    ui->dwFitReport->setVisible(false);

    connect(ui->actionAbout_Qt, &QAction::triggered, qApp, &QApplication::aboutQt);
    connect(ui->menuPanels, &QMenu::aboutToShow, this, &MainWindow::updatePanelsMenu);
    connect(ui->actionUpdateGraph, &QAction::triggered, this, &MainWindow::updateGraph);
    connect(ui->actionAbout, &QAction::triggered, aboutForm, &QDialog::exec);
    connect(ui->cbUseCalibration, &QCheckBox::toggled, this, &MainWindow::updateGraph);
    connect(ui->actionSave, &QAction::triggered, [this] { saveData(false); });
    connect(ui->pbSaveDataWithCorrection, &QPushButton::clicked, [this] { saveData(true); });

    model->setUndoStack(undoStack);
    connect(undoStack, &QUndoStack::canUndoChanged, ui->actionUndo, &QAction::setEnabled);
    connect(undoStack, &QUndoStack::canRedoChanged, ui->actionRedo, &QAction::setEnabled);
    connect(undoStack, &QUndoStack::indexChanged, this, &MainWindow::queueTableReport);
    connect(model, &PointTableModel::undoStepsDropped, this, &MainWindow::undoStepsDropped);
    // Any change of the points or of the calibration leaves the last fit out of date.
    const auto fitChanged = [this] {
        pointsCurrent = false;
        setFitOutOfDate(true);
        ui->wFitReport->setOutOfDate(true, FitReportWidget::TableChange);
    };
    connect(model, &QAbstractItemModel::rowsInserted, this, fitChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, fitChanged);
    connect(model, &QAbstractItemModel::dataChanged, this, fitChanged);
    connect(model, &QAbstractItemModel::modelReset, this, fitChanged);
    connect(model, &QAbstractItemModel::layoutChanged, this, fitChanged);
    connect(ui->cbUseCalibration, &QCheckBox::toggled, this, &MainWindow::calibrationToggled);
    ui->twData->setModel(model);
    auto *delegate = new qDoubleDelegate(this);
    connect(delegate, &qDoubleDelegate::textRefused, this, [this](const QString &message) {
        refusedText = message;
        statusBar()->showMessage(message);
    });
    ui->twData->setItemDelegate(delegate);
    // The three columns share the panel's width, so X, Y and dY stay in view together.
    ui->twData->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Numbers read the same everywhere in the window, whatever the desktop's language: with a
    // point as decimal separator, as the cell editor takes them and the files hold them.
    ui->twData->setLocale(NumberText::locale());
    ui->wPlot->setLocale(NumberText::locale());

    setupPlot();
    calibration.resize(0);
    // The fit report goes below the Calculation panel, whose results it explains.
    splitDockWidget(ui->dwCalculation, ui->dwFitReport, Qt::Vertical);
    controls = new ControlsPanel(this, ui);
    // A run's point goes into the table and the plot.
    connect(controls, &ControlsPanel::pointMeasured, this, &MainWindow::addPoint);
    connect(controls, &ControlsPanel::pointMeasured, this, &MainWindow::updateGraph);
}

// The instrument thread ends first, while the widgets a run's end would touch still exist.
MainWindow::~MainWindow()
{
    delete controls;
    delete ui;
    delete calculation;
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
    fileTask->setDialogDelay(milliseconds);
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
}

void MainWindow::on_twData_customContextMenuRequested(const QPoint &pos)
{
    Q_UNUSED(pos);
    QMenu menu;
    menu.addAction(ui->actionAddPoint);
    menu.addAction(ui->actionDelete_Selection);
    menu.addAction(ui->actionClear);
    menu.exec(QCursor::pos());
}
