// How well the window answers while Calculate runs a long fit: the longest gap between two
// ticks of a 10 ms timer on the GUI thread, from the press of Calculate until the window has
// drawn the result, next to the time the fit takes; with the Fit Report panel closed and open.
// The points are nearly flat, so the fit runs to its step limit, as such data does; nobody
// presses Cancel.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

#include "app/mainwindow.h"

namespace {

void BM_CalculateResponsiveness(benchmark::State &state)
{
    const int points = static_cast<int>(state.range(0));
    const bool report = state.range(1) != 0;
    double longestGap = 0;
    double fitSeconds = 0;
    for (auto _ : state) {
        MainWindow window;
        window.show();
        // With the fit report shown, its residual plot is drawn as well.
        window.findChild<QAction *>(QStringLiteral("actionFitReport"))->setChecked(report);
        for (int i = 0; i < points; ++i) {
            const double y = -3 + 1e-3 * std::sin(0.37 * i);
            QMetaObject::invokeMethod(&window, "addPoint", Q_ARG(double, 1e3 + 10.0 * i),
                                      Q_ARG(double, y), Q_ARG(double, 0.01));
        }
        QMetaObject::invokeMethod(&window, "updateGraph");
        QApplication::processEvents();

        QElapsedTimer clock;
        qint64 last = 0;
        qint64 gap = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            gap = std::max(gap, now - last);
            last = now;
        });
        tick.start(10);
        clock.start();
        window.findChild<QPushButton *>(QStringLiteral("pbCalculate"))->click();
        // A fit longer than the dialog's delay goes on beside the window; its progress dialog
        // goes when it has ended.
        while (!window.findChildren<QProgressDialog *>().isEmpty()) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        fitSeconds = clock.nsecsElapsed() / 1e9;
        // The result is drawn once the slot has returned; that wait counts too.
        QElapsedTimer after;
        after.start();
        while (after.elapsed() < 300)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        gap = std::max(gap, clock.nsecsElapsed() - last);
        longestGap = gap / 1e6;
    }
    state.counters["longest_gap_ms"] = longestGap;
    state.counters["calculate_s"] = fitSeconds;
}

} // namespace

BENCHMARK(BM_CalculateResponsiveness)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1)
    ->ArgNames({"points", "report"})
    ->Args({20000, 0})
    ->Args({100000, 0})
    ->Args({20000, 1})
    ->Args({100000, 1});

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
