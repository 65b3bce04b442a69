// Puts the real main window into the states the user guide shows and saves a picture of the
// window for each. Run under Xvfb by scripts/screenshot; file dialogs are answered the way the
// tests answer them.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
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

    // Saves the window as the X server shows it, as a person at the screen sees it.
    bool save(const QString &name)
    {
        QTest::qWait(300);
        const QRect frame = window->frameGeometry();
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
            0, frame.x(), frame.y(), frame.width(), frame.height());
        const QString path = QDir(outDir).filePath(name);
        QTextStream(stdout) << path << '\n';
        return shot.save(path);
    }

    MainWindow *window = nullptr;

private:
    QAction *action(const char *name) { return window->findChild<QAction *>(QLatin1String(name)); }
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
    auto scene = [&](const QString &name, const std::function<void()> &steps) {
        SimulatedAnalyser analyser;
        GpibDriver::setCurrent(&analyser);
        MainWindow window;
        window.move(0, 0);
        window.show();
        ok &= QTest::qWaitForWindowExposed(&window);
        scenes.window = &window;
        steps();
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
        scenes.showPanels({"actionCalculation", "actionFitReport"});
        scenes.openData(QStringLiteral("ifband.txt"));
        scenes.calculate(0);
        scenes.calculate(1);
    });
    // The same report turned to the record of every fit, after three fits.
    scene(QStringLiteral("fit-record.png"), [&] {
        scenes.showPanels({"actionCalculation", "actionFitReport"});
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
    });

    return ok ? 0 : 1;
}
