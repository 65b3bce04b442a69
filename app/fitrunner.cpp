#include "app/fitrunner.h"

#include <QEventLoop>
#include <QLocale>
#include <QProgressBar>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <memory>

#include "regression/leastsquaresrefinement.h"

FitRunner::FitRunner(QWidget *window) : QObject(window), window(window) {}

// One event loop serves both waits; the worker's end quits it whichever wait is running, and an
// end that comes between the two is still seen, as its quit is queued for the loop. When the
// application quits every loop at once, the fit is cancelled and awaited here, so that the
// calculation is never read while the worker still writes it.
bool FitRunner::run(const std::function<bool(cAbstractRegressCalculation::Monitor *)> &work)
{
    running = true;
    monitor.acceptedSteps.store(0);
    monitor.refinementEvaluations.store(0);
    monitor.cancel.store(false);

    QEventLoop loop;
    bool finished = false;
    std::unique_ptr<QThread> worker(
        QThread::create([this, &work, &finished] { finished = work(&monitor); }));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();

    QTimer::singleShot(dialogDelayMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (!worker->isFinished()) {
        QProgressDialog dialog(tr("Fitting…"), tr("Cancel"), 0,
                               static_cast<int>(cAbstractRegressCalculation::maxAcceptedSteps),
                               window);
        dialog.setObjectName(QStringLiteral("FitProgress"));
        // A bar of its own shows the count as text; it brings its own range, so the range is
        // set again after it is in place.
        auto *bar = new QProgressBar(&dialog);
        bar->setFormat(tr("%v steps"));
        QLocale plain = QLocale::c();
        plain.setNumberOptions(QLocale::OmitGroupSeparator);
        bar->setLocale(plain);
        dialog.setBar(bar);
        dialog.setRange(0, static_cast<int>(cAbstractRegressCalculation::maxAcceptedSteps));
        dialog.setWindowModality(Qt::WindowModal);
        dialog.setAutoReset(false);
        dialog.setAutoClose(false);
        dialog.setMinimumDuration(0);
        connect(&dialog, &QProgressDialog::canceled, this, &FitRunner::cancel);
        QTimer update;
        bool refining = false;
        connect(&update, &QTimer::timeout, &dialog, [this, &dialog, bar, &refining] {
            const long long evaluations = monitor.refinementEvaluations.load();
            if (evaluations > 0 && !refining) {
                refining = true;
                dialog.setLabelText(tr("Refining to the least-squares minimum…"));
                bar->setFormat(tr("%v evaluations"));
                dialog.setRange(0, LeastSquaresRefinement::maxEvaluations);
            }
            const long long count = refining ? evaluations : monitor.acceptedSteps.load();
            dialog.setValue(static_cast<int>(std::min<long long>(count, dialog.maximum())));
        });
        update.start(100);
        dialog.show();
        if (!worker->isFinished())
            loop.exec();
    }

    if (!worker->isFinished())
        cancel();
    worker->wait();
    running = false;
    return finished;
}
