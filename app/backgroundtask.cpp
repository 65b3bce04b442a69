#include "app/backgroundtask.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <memory>

BackgroundTask::BackgroundTask(QWidget *window) : QObject(window), window(window) {}

// One event loop serves both waits; the worker's end quits it whichever wait is running, and an
// end that comes between the two is still seen, as its quit is queued for the loop. When the
// application quits every loop at once, the work is cancelled and awaited here, so that nothing
// it writes is read while it still runs.
bool BackgroundTask::run(const QString &label, const std::function<void(Progress &)> &work)
{
    Progress progress;
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&work, &progress] { work(progress); }));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    if (!worker->isRunning() && !worker->isFinished())
        return false;

    QTimer::singleShot(dialogDelayMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (!worker->isFinished()) {
        QProgressDialog dialog(label, tr("Cancel"), 0, 100, window);
        dialog.setObjectName(QStringLiteral("FileProgress"));
        dialog.setWindowModality(Qt::WindowModal);
        dialog.setAutoReset(false);
        dialog.setAutoClose(false);
        dialog.setMinimumDuration(0);
        connect(&dialog, &QProgressDialog::canceled, this, [&progress] { progress.cancel = true; });
        const auto showShare = [&progress, &dialog] {
            const qint64 total = progress.total.load();
            if (total > 0)
                dialog.setValue(static_cast<int>(100 * progress.done.load() / total));
        };
        QTimer update;
        connect(&update, &QTimer::timeout, &dialog, showShare);
        update.start(100);
        dialog.setValue(0);
        dialog.show();
        if (!worker->isFinished())
            loop.exec();
        // The bar ends at the share done: full for work that ran to its end.
        if (worker->isFinished())
            showShare();
    }

    if (!worker->isFinished())
        progress.cancel = true;
    worker->wait();
    return true;
}
