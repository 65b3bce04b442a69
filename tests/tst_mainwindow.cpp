// The main window as a user first meets it: form contents, panels, menus, context menu,
// About box and shut-down.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include "app/aboutform.h"
#include "app/mainwindow.h"
#include "testhelpers.h"

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAndActions();
    void menusAndToolBar();
    void panelContents();
    void layoutsSpacingAndMargins();
    void panelsHiddenAtStartAndToggled();
    void panelsMenuMirrorsTitleBarClose();
    void floatingPanelStaysChecked();
    void panelsStackOnTheLeft();
    void contextMenuOffersTheDataActions();
    void aboutBoxShowsSameDialog();
    void exitClosesWindow_data();
    void exitClosesWindow();
    void iconsAreEmbedded();

private:
    template <typename T> T *child(const char *name)
    {
        T *object = window->findChild<T *>(QLatin1String(name));
        if (!object)
            qFatal("no child %s", name);
        return object;
    }
    MainWindow *window = nullptr;
};

void TestMainWindow::init()
{
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestMainWindow::cleanup()
{
    delete window;
    window = nullptr;
}

void TestMainWindow::windowAndActions()
{
    QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Vantorel"));
    QCOMPARE(window->size(), QSize(796, 563));
    QVERIFY(window->statusBar()->currentMessage().isEmpty());

    struct Expected
    {
        const char *name;
        const char *text;
        const char *shortcut;
        bool checkable;
        bool hasIcon;
    };
    const Expected actions[] = {
        {"actionOpen", "Open Data", "Ctrl+O", false, true},
        {"actionSave", "Save Data", "Ctrl+S", false, true},
        {"actionClear", "Clear Data", "", false, true},
        {"actionAddPoint", "Add Point", "", false, true},
        {"actionExit", "E&xit", "Ctrl+X", false, true},
        {"actionControls", "Controls ", "", true, false},
        {"actionData", "Data", "", true, false},
        {"actionAbout", "About", "", false, false},
        {"actionAbout_Qt", "About Qt", "", false, false},
        {"actionCalculation", "Calculation", "", true, false},
        {"actionUpdateGraph", "Update Graph", "", false, true},
        {"actionDelete_Selection", "Delete Selection", "", false, true},
        {"actionSaveGraph", "SaveGraph", "", false, true},
        {"actionCalibration", "Calibration", "", true, false},
        {"actionFitReport", "Fit Report", "", true, false},
        {"actionSaveReport", "Save Report…", "", false, false},
        {"actionGraphTitles", "Titles…", "", false, false},
        {"actionGraphLegend", "Legend", "", true, false},
        {"actionCopyGraph", "Copy Graph", "Ctrl+Shift+C", false, false},
        {"actionExportGraph", "Export Graph…", "Ctrl+E", false, false},
    };
    for (const Expected &e : actions) {
        auto *action = child<QAction>(e.name);
        QCOMPARE(action->text(), QString::fromUtf8(e.text));
        QCOMPARE(action->shortcut(), QKeySequence(QString::fromUtf8(e.shortcut)));
        QCOMPARE(action->isCheckable(), e.checkable);
        QVERIFY(!action->isChecked());
        QCOMPARE(!action->icon().isNull(), e.hasIcon);
        QVERIFY(action->toolTip() == action->text().remove(QLatin1Char('&')).trimmed() ||
                action->toolTip().isEmpty());
        QVERIFY(action->statusTip().isEmpty());
    }
}

static QStringList actionNames(const QWidget *widget)
{
    QStringList names;
    for (const QAction *action : widget->actions())
        names << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
    return names;
}

void TestMainWindow::menusAndToolBar()
{
    auto *bar = child<QMenuBar>("menuBar");
    QStringList titles;
    for (QAction *action : bar->actions())
        titles << action->text();
    QCOMPARE(titles, QStringList({"&File", "Panels", "Data", "Graph", "Help"}));

    QCOMPARE(actionNames(child<QMenu>("menu_File")),
             QStringList({"actionOpen", "actionSave", "actionSaveGraph", "actionExit"}));
    QCOMPARE(actionNames(child<QMenu>("menuPanels")),
             QStringList({"actionControls", "actionData", "actionCalculation", "actionCalibration",
                          "actionFitReport", "actionSweep"}));
    QCOMPARE(actionNames(child<QMenu>("menuData")),
             QStringList({"actionAddPoint", "actionDelete_Selection", "actionLeaveOutOfFit",
                          "actionClear", "actionUpdateGraph", "actionUndo", "actionRedo"}));
    QCOMPARE(actionNames(child<QMenu>("menuGraph")),
             QStringList({"actionGraphTitles", "actionGraphLegend", "|", "actionCopyGraph",
                          "actionExportGraph", "actionSaveGraph", "|", "actionSaveReport"}));
    QCOMPARE(actionNames(child<QMenu>("menuHelp")), QStringList({"actionAbout", "actionAbout_Qt"}));

    auto *toolBar = child<QToolBar>("mainToolBar");
    QCOMPARE(toolBar->windowTitle(), QStringLiteral("Main Menu"));
    QVERIFY(!toolBar->isMovable());
    QVERIFY(!toolBar->isFloatable());
    QCOMPARE(window->toolBarArea(toolBar), Qt::TopToolBarArea);
    QCOMPARE(actionNames(toolBar), QStringList({"actionOpen", "actionSave", "|", "actionSaveGraph",
                                                "actionUpdateGraph"}));
}

void TestMainWindow::panelContents()
{
    auto *address = child<QSpinBox>("sbGpibAddress");
    QCOMPARE(address->minimum(), 0);
    QCOMPARE(address->maximum(), 31);
    QCOMPARE(address->value(), 21);
    auto *count = child<QSpinBox>("sbPointsCount");
    QCOMPARE(count->minimum(), 0);
    QCOMPARE(count->maximum(), 999);
    QCOMPARE(count->value(), 10);
    // The About box has a "label" of its own, so the panel's is looked up inside the panel.
    QCOMPARE(child<QDockWidget>("dwControls")->findChild<QLabel *>(QStringLiteral("label"))->text(),
             QStringLiteral("GPIB Address:"));
    QCOMPARE(child<QLabel>("label_2")->text(), QStringLiteral("Points Count:"));
    QCOMPARE(child<QLabel>("label_3")->text(), QStringLiteral("Methode:"));
    QCOMPARE(child<QPushButton>("pbSearchPeak")->text(), QStringLiteral("Search Peak"));
    QCOMPARE(child<QPushButton>("pbGetMarkerPos")->text(), QStringLiteral("Get Marker Pos"));
    QCOMPARE(child<QPushButton>("pbStartMeasure")->text(), QStringLiteral("Start"));
    QCOMPARE(child<QPushButton>("pbCalculate")->text(), QStringLiteral("Calculate"));
    QCOMPARE(child<QPushButton>("pbSaveDataWithCorrection")->text(),
             QStringLiteral("Save current data \n with correction"));
    QCOMPARE(child<QToolButton>("tbOpenCalibration")->text(), QStringLiteral("..."));
    auto *useCalibration = child<QCheckBox>("cbUseCalibration");
    QCOMPARE(useCalibration->text(), QStringLiteral("Use calibration"));
    QVERIFY(!useCalibration->isChecked());

    auto *progress = child<QProgressBar>("progressBar");
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 100);
    QCOMPARE(progress->value(), 0);
    QCOMPARE(progress->format(), QStringLiteral("%p%"));

    auto *file = child<QLineEdit>("leCalibrationFile");
    QVERIFY(file->isReadOnly());
    QVERIFY(file->text().isEmpty());

    auto *methods = child<QComboBox>("cbCalculationType");
    QStringList items;
    for (int i = 0; i < methods->count(); ++i) {
        items << methods->itemText(i);
        QVERIFY(methods->itemIcon(i).isNull());
    }
    QCOMPARE(items, QStringList({"1-Time; 2-Log Scale", "1-Time; 2-Log Scale; +Weight",
                                 "RecTime; 1-LogScale;", "RecTime; 1-LogScale; +Weight"}));
    QCOMPARE(methods->currentIndex(), 0);

    auto *table = child<QTableView>("twData");
    QCOMPARE(table->contextMenuPolicy(), Qt::CustomContextMenu);
    QCOMPARE(table->selectionMode(), QAbstractItemView::MultiSelection);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(table->horizontalHeader()->minimumSectionSize(), 70);
    QCOMPARE(table->verticalHeader()->minimumSectionSize(), 23);
    QCOMPARE(table->horizontalHeader()->sectionResizeMode(2), QHeaderView::Stretch);

    auto *plot = child<QCustomPlot>("wPlot");
    QCOMPARE(plot->minimumSize(), QSize(400, 0));
    QCOMPARE(plot->contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(window->centralWidget()->objectName(), QStringLiteral("centralWidget"));
}

void TestMainWindow::layoutsSpacingAndMargins()
{
    const struct
    {
        const char *name;
        int margin;
    } layouts[] = {
        {"verticalLayout_4", 11},  {"verticalLayout", 11},    {"verticalLayout_2", 2},
        {"verticalLayout_3", 11},  {"verticalLayout_5", 11},  {"horizontalLayout", 0},
        {"horizontalLayout_2", 0}, {"horizontalLayout_3", 0}, {"horizontalLayout_4", 0},
        {"horizontalLayout_5", 0}, {"horizontalLayout_6", 0}, {"horizontalLayout_7", 0},
    };
    for (const auto &l : layouts) {
        auto *layout = child<QBoxLayout>(l.name);
        QCOMPARE(layout->spacing(), 6);
        QCOMPARE(layout->contentsMargins(), QMargins(l.margin, l.margin, l.margin, l.margin));
    }

    const struct
    {
        const char *name;
        const char *title;
        QSize minimum;
        QSize maximum;
    } docks[] = {
        {"dwControls", "Controls", {188, 152}, {524287, 152}},
        {"dwData", "Data", {188, 97}, {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX}},
        {"dwCalculation", "Calculation", {246, 209}, {524287, 209}},
        {"dwCalibration", "Calibration", {288, 104}, {524287, 104}},
    };
    for (const auto &d : docks) {
        auto *dock = child<QDockWidget>(d.name);
        QCOMPARE(dock->windowTitle(), QString::fromUtf8(d.title));
        QCOMPARE(dock->minimumSize(), d.minimum);
        QCOMPARE(dock->maximumSize(), d.maximum);
        QCOMPARE(dock->allowedAreas(), Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
        QCOMPARE(dock->features() &
                     (QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                      QDockWidget::DockWidgetFloatable),
                 QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                     QDockWidget::DockWidgetFloatable);
    }
    auto *controls = child<QDockWidget>("dwControls");
    QCOMPARE(controls->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(controls->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
}

// Each panel and its entry in the Panels menu.
static const char *const panelPairs[][2] = {
    {"dwControls", "actionControls"},       {"dwData", "actionData"},
    {"dwCalculation", "actionCalculation"}, {"dwCalibration", "actionCalibration"},
    {"dwFitReport", "actionFitReport"},     {"dwSweep", "actionSweep"}};

void TestMainWindow::panelsHiddenAtStartAndToggled()
{
    for (auto &pair : panelPairs) {
        auto *dock = child<QDockWidget>(pair[0]);
        auto *action = child<QAction>(pair[1]);
        QVERIFY(!dock->isVisible());
        QVERIFY(!action->isChecked());
        action->setChecked(true);
        QVERIFY(dock->isVisible());
        QCOMPARE(window->dockWidgetArea(dock), Qt::LeftDockWidgetArea);
        QVERIFY(!dock->isFloating());
        action->setChecked(false);
        QVERIFY(!dock->isVisible());
    }
}

void TestMainWindow::panelsMenuMirrorsTitleBarClose()
{
    auto *panels = child<QMenu>("menuPanels");
    for (auto &pair : panelPairs) {
        auto *dock = child<QDockWidget>(pair[0]);
        auto *action = child<QAction>(pair[1]);
        action->setChecked(true);
        QVERIFY(dock->isVisible());
        dock->close();
        QVERIFY(!dock->isVisible());
        QVERIFY(action->isChecked());
        emit panels->aboutToShow();
        QVERIFY(!action->isChecked());
        QVERIFY(!dock->isVisible());
    }
}

void TestMainWindow::floatingPanelStaysChecked()
{
    auto *dock = child<QDockWidget>("dwData");
    auto *action = child<QAction>("actionData");
    action->setChecked(true);
    dock->setFloating(true);
    emit child<QMenu>("menuPanels")->aboutToShow();
    QVERIFY(dock->isVisible());
    QVERIFY(action->isChecked());
}

// The four panels stack in their order; the fit report, shown too, sits right below the
// Calculation panel whose results it explains.
void TestMainWindow::panelsStackOnTheLeft()
{
    const char *names[] = {"dwControls", "dwData", "dwCalculation", "dwCalibration"};
    const char *actions[] = {"actionControls", "actionData", "actionCalculation",
                             "actionCalibration"};
    for (const char *name : actions)
        child<QAction>(name)->setChecked(true);
    QTest::qWait(50);
    int previousBottom = -1;
    for (const char *name : names) {
        auto *dock = child<QDockWidget>(name);
        QCOMPARE(window->dockWidgetArea(dock), Qt::LeftDockWidgetArea);
        QVERIFY2(dock->geometry().top() > previousBottom, name);
        previousBottom = dock->geometry().bottom();
        QVERIFY(dock->geometry().right() < window->centralWidget()->geometry().left());
    }
    QCOMPARE(child<QDockWidget>("dwControls")->height(), 152);
    QCOMPARE(child<QDockWidget>("dwCalculation")->height(), 209);
    QCOMPARE(child<QDockWidget>("dwCalibration")->height(), 104);

    child<QAction>("actionFitReport")->setChecked(true);
    QTest::qWait(50);
    const QRect report = child<QDockWidget>("dwFitReport")->geometry();
    QVERIFY(report.top() > child<QDockWidget>("dwCalculation")->geometry().bottom());
    QVERIFY(report.bottom() < child<QDockWidget>("dwCalibration")->geometry().top());
}

void TestMainWindow::contextMenuOffersTheDataActions()
{
    auto *table = child<QTableView>("twData");
    child<QAction>("actionData")->setChecked(true);
    QStringList seen;
    // The menu is a popup, not a modal dialog: poll for it as the active popup.
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, [&seen, timer] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *action : menu->actions())
                seen << (action->isSeparator() ? QStringLiteral("|") : action->text());
            timer->stop();
            menu->close();
        }
    });
    timer->start(20);
    emit table->customContextMenuRequested(QPoint(5, 5));
    timer->stop();
    QCOMPARE(seen,
             QStringList({"Add Point", "Delete Selection", "Leave Out of Fit", "Clear Data"}));
}

void TestMainWindow::aboutBoxShowsSameDialog()
{
    auto *about = window->findChild<AboutForm *>();
    QVERIFY(about);
    QCOMPARE(about->objectName(), QStringLiteral("AboutForm"));
    QCOMPARE(about->windowTitle(), QStringLiteral("About program..."));
    QCOMPARE(about->windowModality(), Qt::WindowModal);
    QCOMPARE(about->size(), QSize(224, 162));
    auto *label = about->findChild<QLabel *>(QStringLiteral("label"));
    QVERIFY(label);
    const QString text = label->text();
    QVERIFY(text.startsWith(
        QStringLiteral("The program is designed<br>to smooth the experimental data<br><br>")));
    QVERIFY(text.endsWith(QStringLiteral("<br>version 0.6.0<br>19.10.2018")));
    QVERIFY(text.contains(QStringLiteral("Vantorel developers")));
    QVERIFY(text.contains(
        QStringLiteral("<a href=\"mailto:vantorel@example.org\">vantorel@example.org</a>")));
    QCOMPARE(text.split(QStringLiteral("<br>")).size(), 7);
    QCOMPARE(label->alignment(), Qt::AlignCenter);
    QVERIFY(!label->openExternalLinks());

    for (int round = 0; round < 2; ++round) {
        QWidget *shown = nullptr;
        testhelpers::answerModal([&shown](QWidget *modal) {
            shown = modal;
            QTest::keyClick(modal, Qt::Key_Escape);
            return true;
        });
        window->findChild<QAction *>(QStringLiteral("actionAbout"))->trigger();
        QCOMPARE(shown, static_cast<QWidget *>(about));
        QVERIFY(!about->isVisible());
        QCOMPARE(label->text(), text);
    }
}

void TestMainWindow::exitClosesWindow_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("empty table") << ""
                                 << "" << true;
    QTest::newRow("unsaved, Escape") << "add"
                                     << "Escape" << false;
    QTest::newRow("unsaved, Save") << "add"
                                   << "Save" << true;
    QTest::newRow("unsaved, Save cancelled") << "add"
                                             << "Save cancelled" << false;
    QTest::newRow("saved") << "add, save"
                           << "" << true;
    QTest::newRow("edited after saving") << "add, save, edit"
                                         << "Discard" << true;
    QTest::newRow("read into an empty table") << "open"
                                              << "" << true;
    QTest::newRow("cleared, then undone back to the file") << "open, clear, undo"
                                                           << "" << true;
    QTest::newRow("edited, then undone back to the save") << "add, save, edit, undo"
                                                          << "" << true;
    QTest::newRow("undone past the save") << "add, save, undo"
                                          << "Discard" << true;
}

// Ctrl+X closes at once unless the table holds points that were never saved; then it asks,
// and only Discard or a save that worked let the window go.
void TestMainWindow::exitClosesWindow()
{
    QFETCH(QString, before);
    QFETCH(QString, answer);
    QFETCH(bool, closed);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("points.txt"));
    if (before.contains(QLatin1String("add"))) {
        for (double x : {1.0, 2.0})
            QMetaObject::invokeMethod(window, "addPoint", Q_ARG(double, x), Q_ARG(double, 5),
                                      Q_ARG(double, 0));
    }
    if (before.contains(QLatin1String("save"))) {
        testhelpers::answerFileDialog(path);
        child<QAction>("actionSave")->trigger();
    }
    if (before.contains(QLatin1String("edit"))) {
        QAbstractItemModel *model = testhelpers::tableModel(window);
        model->setData(model->index(0, 1), 7.0);
    }
    if (before.startsWith(QLatin1String("open"))) {
        testhelpers::answerFileDialog(testhelpers::writeFile(path, "1\t2\t3\n4\t5\t6\n"));
        child<QAction>("actionOpen")->trigger();
    }
    if (before.contains(QLatin1String("clear")))
        child<QAction>("actionClear")->trigger();
    if (before.contains(QLatin1String("undo")))
        child<QAction>("actionUndo")->trigger();

    QString title;
    QString text;
    testhelpers::answerModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return false;
        title = box->windowTitle();
        text = box->text();
        if (box->standardButtons() !=
            (QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel))
            return false;
        if (answer == QLatin1String("Escape")) {
            QTest::keyClick(box, Qt::Key_Escape);
            return true;
        }
        if (answer.startsWith(QLatin1String("Save"))) {
            if (answer.endsWith(QLatin1String("cancelled")))
                testhelpers::cancelFileDialog();
            else
                testhelpers::answerFileDialog(path);
        }
        const auto button = answer.startsWith(QLatin1String("Save")) ? QMessageBox::Save
                            : answer == QLatin1String("Discard")     ? QMessageBox::Discard
                                                                     : QMessageBox::Cancel;
        QMetaObject::invokeMethod(box->button(button), "click", Qt::QueuedConnection);
        return true;
    });
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(!window->isVisible(), closed);
    QCOMPARE(title, answer.isEmpty() ? QString() : QStringLiteral("Vantorel"));
    QCOMPARE(text, answer.isEmpty()
                       ? QString()
                       : QStringLiteral("The table holds %1 points that have not been saved.")
                             .arg(testhelpers::tableModel(window)->rowCount()));
    if (answer == QLatin1String("Save"))
        QCOMPARE(QFileInfo(path).size(), 12);
}

void TestMainWindow::iconsAreEmbedded()
{
    for (const char *name : {"folder.png", "disk.png", "cut.png", "plus_button.png", "door_in.png",
                             "update.png", "delete.png", "picture_save.png"}) {
        const QImage image(QStringLiteral(":/Images/Images/") + QLatin1String(name));
        QVERIFY2(!image.isNull(), name);
        QCOMPARE(image.size(), QSize(32, 32));
    }
}

VANTOREL_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
