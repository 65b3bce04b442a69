#include "app/fitrunner.h"

#include <QEventLoop>
#include <QProgressBar>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <memory>

FitRunner::FitRunner(QWidget *window) : QObject(window), window(window) {}

// One event loop serves both waits; the worker's end quits it whichever wait is running, and an
// end that comes between the two is still seen, as its quit is queued for the loop. When the
// application quits every loop at once, the fit is cancelled and awaited here, so that the
// calculation is never read while the worker still writes it.
bool FitRunner::run(cAbstractRegressCalculation *calculation)
{
    running = true;
    monitor.acceptedSteps.store(0);
    monitor.cancel.store(false);
    calculation->setMonitor(&monitor);

    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([calculation] { calculation->calculate(); }));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();

    QTimer::singleShot(dialogDelayMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (!worker->isFinished()) {
        QProgressDialog dialog(tr("Fitting…"), tr("Cancel"), 0,
                               static_cast<int>(cAbstractRegressCalculation::maxAcceptedSteps),
                               window);
        dialog.setObjectName(QStringLiteral("FitProgress"));
        auto *bar = new QProgressBar(&dialog);
        bar->setFormat(tr("%v steps"));
        dialog.setBar(bar);
        dialog.setWindowModality(Qt::WindowModal);
        dialog.setAutoReset(false);
        dialog.setAutoClose(false);
        dialog.setMinimumDuration(0);
        connect(&dialog, &QProgressDialog::canceled, this, &FitRunner::cancel);
        QTimer update;
        connect(&update, &QTimer::timeout, &dialog, [this, &dialog] {
            dialog.setValue(static_cast<int>(monitor.acceptedSteps.load()));
        });
        update.start(100);
        dialog.show();
        if (!worker->isFinished())
            loop.exec();
    }

    if (!worker->isFinished())
        cancel();
    worker->wait();
    calculation->setMonitor(nullptr);
    running = false;
    return !calculation->cancelled();
}
