// Puts the real main window into the states the user guide shows and saves a picture of the
// window for each. Run under Xvfb by scripts/screenshot; file dialogs are answered the way the
// tests answer them.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTextStream>
#include <QToolButton>

#include <functional>

#include "app/mainwindow.h"
#include "instrument/simulatedanalyser.h"
#include "instrumenttesthelpers.h"
#include "testhelpers.h"

namespace {

const char *const panelActions[] = {"actionControls",    "actionData",      "actionCalculation",
                                    "actionCalibration", "actionFitReport", "actionSweep"};

class Scenes
{
public:
    Scenes(const QString &examples, const QString &outDir) : examples(examples), outDir(outDir) {}

    // Shows exactly the panels named, hides the others.
    void showPanels(const QStringList &shown)
    {
        for (const char *name : panelActions)
            action(name)->setChecked(shown.contains(QLatin1String(name)));
        QTest::qWait(200);
    }

    // Search Peak, then a run of three readings, as a user builds a curve point by point.
    bool measurePoints(int count)
    {
        window->findChild<QSpinBox *>(QStringLiteral("sbPointsCount"))->setValue(3);
        auto *start = window->findChild<QPushButton *>(QStringLiteral("pbStartMeasure"));
        for (int i = 0; i < count; ++i) {
            // The marker operation ends beside the window; Start waits for it, as a user would.
            if (!instrumenttest::pressAndWait(
                    window->findChild<QPushButton *>(QStringLiteral("pbSearchPeak"))))
                return false;
            start->click();
            if (!QTest::qWaitFor([start] { return start->text() == QLatin1String("Start"); }, 5000))
                return false;
        }
        return true;
    }

    // A sweep of the simulated analyser with the simulated source, 100 kHz to 100 MHz in 25
    // points of three readings each; stops waiting once points are in the table (0: the end).
    bool sweep(int points)
    {
        // Tall enough for the whole Sweep panel.
        window->resize(window->width(), 680);
        window->setReadingInterval(40);
        window->findChild<QSpinBox *>(QStringLiteral("sbPointsCount"))->setValue(3);
        window->findChild<QComboBox *>(QStringLiteral("cbSourceInterface"))
            ->setCurrentText(QStringLiteral("Simulated source"));
        window->findChild<QLineEdit *>(QStringLiteral("leSweepStart"))->setText("100000");
        window->findChild<QLineEdit *>(QStringLiteral("leSweepStop"))->setText("100000000");
        window->findChild<QSpinBox *>(QStringLiteral("sbSweepPoints"))->setValue(25);
        window->findChild<QSpinBox *>(QStringLiteral("sbSettleMs"))->setValue(50);
        auto *start = window->findChild<QPushButton *>(QStringLiteral("pbSweepStart"));
        start->click();
        QAbstractItemModel *table = testhelpers::tableModel(window);
        if (points > 0)
            return QTest::qWaitFor([&] { return table->rowCount() >= points; }, 60000);
        return QTest::qWaitFor([start] { return start->text() == QLatin1String("Start Sweep"); },
                               60000);
    }

    void openData(const QString &name)
    {
        testhelpers::answerFileDialog(QDir(examples).filePath(name));
        action("actionOpen")->trigger();
    }

    void loadCalibration(const QString &name)
    {
        testhelpers::answerFileDialog(QDir(examples).filePath(name));
        window->findChild<QToolButton *>(QStringLiteral("tbOpenCalibration"))->click();
        window->findChild<QCheckBox *>(QStringLiteral("cbUseCalibration"))->setChecked(true);
    }

    void calculate(int method)
    {
        window->findChild<QComboBox *>(QStringLiteral("cbCalculationType"))
            ->setCurrentIndex(method);
        window->findChild<QPushButton *>(QStringLiteral("pbCalculate"))->click();
        if (!testhelpers::waitForWorkBesideWindow(window))
            qWarning("The fit did not end in time");
    }

    // Titles the axes through the Graph Titles dialog, as a user does.
    void setTitles(const QString &titleX, const QString &titleY, const QString &above = QString())
    {
        testhelpers::setGraphTitles(window, titleX, titleY, above);
    }

    // Opens the Export Graph dialog, lets settings fill it in, saves a picture of it and
    // cancels it.
    bool saveExportDialog(const QString &name, const std::function<void(QWidget *)> &settings)
    {
        bool saved = false;
        testhelpers::answerModal([=, &saved](QWidget *modal) {
            if (modal->objectName() != QLatin1String("ExportGraphDialog"))
                return false;
            settings(modal);
            QTest::qWait(500);
            saved = save(name, modal);
            modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
            return true;
        });
        action("actionExportGraph")->trigger();
        return saved;
    }

    // Saves the window as the X server shows it, as a person at the screen sees it.
    bool save(const QString &name, QWidget *shown = nullptr)
    {
        QTest::qWait(300);
        const QRect frame = (shown ? shown : window)->frameGeometry();
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
            0, frame.x(), frame.y(), frame.width(), frame.height());
        const QString path = QDir(outDir).filePath(name);
        QTextStream(stdout) << path << '\n';
        return shot.save(path);
    }

    MainWindow *window = nullptr;

private:
public:
    QAction *action(const char *name) { return window->findChild<QAction *>(QLatin1String(name)); }

private:
    QString examples;
    QString outDir;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString outDir = args.value(1, QStringLiteral("."));
    const QString examples = args.value(2, QStringLiteral("examples"));
    QDir().mkpath(outDir);

    bool ok = true;
    Scenes scenes(examples, outDir);
    // Each scene starts from a window of its own, as a user starting the program would.
    // A scene that takes its own picture (of a dialog) does not want the window's.
    auto scene = [&](const QString &name, const std::function<void()> &steps,
                     bool pictureOfWindow = true) {
        SimulatedAnalyser analyser;
        GpibDriver::setCurrent(&analyser);
        MainWindow window;
        window.move(0, 0);
        window.show();
        ok &= QTest::qWaitForWindowExposed(&window);
        scenes.window = &window;
        steps();
        if (pictureOfWindow)
            ok &= scenes.save(name);
        GpibDriver::setCurrent(nullptr);
    };

    scene(QStringLiteral("start.png"), [] {});
    // Controls: points measured on a freshly started simulated analyser, then fitted with
    // method 0.
    scene(QStringLiteral("panel-controls.png"), [&] {
        scenes.showPanels({"actionControls"});
        ok &= scenes.measurePoints(12);
    });
    scene(QStringLiteral("fit.png"), [&] {
        scenes.showPanels({"actionControls", "actionCalculation"});
        ok &= scenes.measurePoints(12);
        scenes.calculate(0);
    });
    // Data: an example file opened.
    scene(QStringLiteral("panel-data.png"), [&] {
        scenes.showPanels({"actionData"});
        scenes.openData(QStringLiteral("ifband.txt"));
    });
    // Calibration: the example calibration applied to the same points, and a weighted fit.
    scene(QStringLiteral("panel-calibration.png"), [&] {
        scenes.showPanels({"actionData", "actionCalculation", "actionCalibration"});
        scenes.openData(QStringLiteral("ifband.txt"));
        scenes.loadCalibration(QStringLiteral("calibration.txt"));
        scenes.calculate(1);
    });
    // The fit report after two fits of the same points, unweighted and weighted.
    scene(QStringLiteral("fit-report.png"), [&] {
        scenes.showPanels({"actionFitReport"});
        scenes.openData(QStringLiteral("ifband.txt"));
        scenes.calculate(0);
        scenes.calculate(1);
    });
    // The same report turned to the record of every fit, after three fits.
    scene(QStringLiteral("fit-record.png"), [&] {
        scenes.showPanels({"actionFitReport"});
        scenes.openData(QStringLiteral("ifband.txt"));
        scenes.calculate(0);
        scenes.calculate(1);
        scenes.loadCalibration(QStringLiteral("calibration.txt"));
        scenes.calculate(1);
        auto *pages = scenes.window->findChild<QTabWidget *>(QStringLiteral("twFitReportPages"));
        pages->setCurrentIndex(1);
        // The record stands below the summary: the panel scrolls down to it.
        scenes.window->findChild<QScrollArea *>(QStringLiteral("saFitReport"))
            ->ensureWidgetVisible(pages, 0, 0);
    });
    // A point left out of the fit (hollow) and a fit range, whose outside is shaded.
    scene(QStringLiteral("fit-controls.png"), [&] {
        scenes.showPanels({"actionData", "actionCalculation"});
        scenes.openData(QStringLiteral("ifband.txt"));
        auto *view = scenes.window->findChild<QTableView *>(QStringLiteral("twData"));
        view->selectRow(16);
        scenes.window->findChild<QAction *>(QStringLiteral("actionLeaveOutOfFit"))->trigger();
        view->clearSelection();
        view->scrollTo(view->model()->index(16, 0), QAbstractItemView::PositionAtCenter);
        scenes.window->findChild<QLineEdit *>(QStringLiteral("leFitFrom"))->setText("0.3");
        scenes.window->findChild<QLineEdit *>(QStringLiteral("leFitTo"))->setText("12");
        scenes.calculate(0);
    });
    // Fc held at a value: the report shows it "fixed", and A alone with its σ.
    scene(QStringLiteral("fit-fixed.png"), [&] {
        scenes.showPanels({"actionCalculation", "actionFitReport"});
        scenes.openData(QStringLiteral("ifband.txt"));
        scenes.window->findChild<QCheckBox *>(QStringLiteral("cbFixFc"))->setChecked(true);
        scenes.window->findChild<QLineEdit *>(QStringLiteral("leFixFc"))->setText("4");
        scenes.calculate(1);
    });
    // A sweep under way, and a finished one fitted with method 0.
    scene(QStringLiteral("sweep-running.png"), [&] {
        scenes.showPanels({"actionSweep"});
        ok &= scenes.sweep(12);
    });
    scene(QStringLiteral("sweep-fit.png"), [&] {
        scenes.showPanels({"actionSweep", "actionCalculation"});
        ok &= scenes.sweep(0);
        scenes.calculate(0);
    });
    // Everything at once, for the top of the README.
    scene(QStringLiteral("overview.png"), [&] {
        scenes.showPanels(
            {"actionControls", "actionData", "actionCalculation", "actionCalibration"});
        scenes.openData(QStringLiteral("ifband.txt"));
        scenes.loadCalibration(QStringLiteral("calibration.txt"));
        scenes.calculate(1);
        scenes.setTitles(QStringLiteral("Frequency (MHz)"), QStringLiteral("Level (dB)"));
    });
    // A plot ready to publish: axis titles, a title above it, the legend with the fit, and the
    // residuals in the report that follow the titles.
    scene(QStringLiteral("graph-publish.png"), [&] {
        scenes.showPanels({"actionFitReport"});
        scenes.openData(QStringLiteral("ifband.txt"));
        scenes.calculate(1);
        scenes.setTitles(QStringLiteral("Frequency (MHz)"), QStringLiteral("Level (dB)"),
                         QStringLiteral("IF band of the mixer"));
        scenes.action("actionGraphLegend")->trigger();
    });
    // The Export Graph dialog set for a journal column: a PDF 85 mm wide with the residuals.
    scene(
        QStringLiteral("export-graph.png"),
        [&] {
            scenes.openData(QStringLiteral("ifband.txt"));
            scenes.calculate(1);
            scenes.setTitles(QStringLiteral("Frequency (MHz)"), QStringLiteral("Level (dB)"));
            scenes.action("actionGraphLegend")->trigger();
            ok &= scenes.saveExportDialog(QStringLiteral("export-graph.png"), [&](QWidget *dialog) {
                dialog->findChild<QComboBox *>(QStringLiteral("cbExportFormat"))
                    ->setCurrentText(QStringLiteral("PDF"));
                dialog->findChild<QComboBox *>(QStringLiteral("cbExportUnit"))
                    ->setCurrentText(QStringLiteral("mm"));
                dialog->findChild<QDoubleSpinBox *>(QStringLiteral("sbExportHeight"))->setValue(70);
                dialog->findChild<QDoubleSpinBox *>(QStringLiteral("sbExportFontPt"))->setValue(8);
                dialog->findChild<QCheckBox *>(QStringLiteral("cbExportResiduals"))
                    ->setChecked(true);
                dialog->findChild<QLineEdit *>(QStringLiteral("leExportFile"))
                    ->setText(QDir(examples).filePath(QStringLiteral("ifband-fit.pdf")));
            });
        },
        false);
    // The same fit written as PNG, PDF and SVG through the dialog, for scripts/screenshot to
    // set side by side (it renders the PDF and the SVG with their own readers).
    scene(
        QStringLiteral("exports"),
        [&] {
            scenes.openData(QStringLiteral("ifband.txt"));
            scenes.calculate(1);
            scenes.setTitles(QStringLiteral("Frequency (MHz)"), QStringLiteral("Level (dB)"),
                             QStringLiteral("IF band of the mixer"));
            scenes.action("actionGraphLegend")->trigger();
            const QDir exports(QDir(outDir).filePath(QStringLiteral("exports")));
            exports.mkpath(QStringLiteral("."));
            for (const char *format : {"PNG", "PDF", "SVG"}) {
                testhelpers::answerModal([&](QWidget *dialog) {
                    if (dialog->objectName() != QLatin1String("ExportGraphDialog"))
                        return false;
                    dialog->findChild<QComboBox *>(QStringLiteral("cbExportFormat"))
                        ->setCurrentText(QLatin1String(format));
                    dialog->findChild<QComboBox *>(QStringLiteral("cbExportUnit"))
                        ->setCurrentText(QStringLiteral("mm"));
                    dialog->findChild<QDoubleSpinBox *>(QStringLiteral("sbExportHeight"))
                        ->setValue(70);
                    dialog->findChild<QDoubleSpinBox *>(QStringLiteral("sbExportFontPt"))
                        ->setValue(8);
                    dialog->findChild<QCheckBox *>(QStringLiteral("cbExportResiduals"))
                        ->setChecked(true);
                    dialog->findChild<QLineEdit *>(QStringLiteral("leExportFile"))
                        ->setText(exports.filePath(QStringLiteral("ifband-fit.") +
                                                   QString::fromLatin1(format).toLower()));
                    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
                    return true;
                });
                scenes.action("actionExportGraph")->trigger();
            }
        },
        false);

    return ok ? 0 : 1;
}
