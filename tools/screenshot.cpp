// Puts the real main window into the states the documentation shows and saves a picture of
// the screen for each. Run under Xvfb by scripts/screenshot.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QScreen>
#include <QTextStream>
#include <QTimer>

#include "app/mainwindow.h"

namespace {

void showPanels(MainWindow &window, const QStringList &actions)
{
    for (const char *name : {"actionControls", "actionData", "actionCalculation",
                             "actionCalibration"}) {
        window.findChild<QAction *>(QLatin1String(name))
            ->setChecked(actions.contains(QLatin1String(name)));
    }
}

void addDemoPoints(MainWindow &window)
{
    const double points[][3] = {{1e5, -20.1, 0.3}, {3e5, -20.4, 0.3}, {1e6, -22.6, 0.4},
                                {3e6, -30.3, 0.5}, {1e7, -40.2, 0.6}};
    for (const auto &p : points) {
        QMetaObject::invokeMethod(&window, "addPoint", Q_ARG(double, p[0]), Q_ARG(double, p[1]),
                                  Q_ARG(double, p[2]));
    }
    QMetaObject::invokeMethod(&window, "updateGraph");
}

// Saves what the X server shows, as a person at the screen would see it.
bool saveScreen(const QString &path)
{
    QApplication::processEvents();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    return shot.save(path);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString outDir = args.value(1, QStringLiteral("."));
    QDir().mkpath(outDir);

    MainWindow window;
    window.move(0, 0);
    window.show();
    addDemoPoints(window);
    showPanels(window, {"actionControls", "actionData", "actionCalculation", "actionCalibration"});

    int status = 0;
    QTimer::singleShot(1000, [&] {
        const QString path = QDir(outDir).filePath(QStringLiteral("window.png"));
        if (!saveScreen(path))
            status = 1;
        QTextStream(stdout) << path << '\n';
        app.quit();
    });
    app.exec();
    return status;
}
