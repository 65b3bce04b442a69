#include "app/backgroundwork.h"

#include <QProgressBar>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>

BackgroundWork::BackgroundWork(QWidget *window, const QString &dialogName)
    : QObject(window), window(window), dialogName(dialogName), updateTimer(new QTimer(this))
{
    updateTimer->setInterval(100);
    connect(updateTimer, &QTimer::timeout, this, [this] {
        if (!dialog || !progress)
            return;
        if (dialogUpdate) {
            dialogUpdate(*dialog, *progress);
            return;
        }
        const qint64 total = progress->total.load();
        if (total > 0)
            showValue(*dialog, static_cast<int>(100 * progress->done.load() / total));
    });
}

BackgroundWork::~BackgroundWork()
{
    if (!worker)
        return;
    progress->cancel = true;
    worker->wait();
    delete worker;
}

// Short work is awaited here without an event loop, so nothing else runs inside the caller
// meanwhile and its input waits, as it would for work done on the window's own thread. Work
// still running after the delay gets the dialog, and its end arrives through the event loop.
bool BackgroundWork::start(const QString &label, Work work)
{
    if (worker)
        return false;
    progress = std::make_unique<Progress>();
    completed = false;
    Progress *shared = progress.get();
    QThread *thread =
        QThread::create([this, shared, work = std::move(work)] { completed = work(*shared); });
    // The end of an earlier run may still be queued when the next starts: each end is matched
    // to its own thread.
    connect(thread, &QThread::finished, this, [this, thread] {
        if (worker == thread)
            workerEnded();
    });
    thread->start();
    if (!thread->isRunning() && !thread->isFinished()) {
        delete thread;
        return false;
    }
    worker = thread;
    if (worker->wait(static_cast<unsigned long>(std::max(dialogDelayMs, 0))))
        workerEnded();
    else
        showDialog(label);
    return true;
}

void BackgroundWork::showValue(QProgressDialog &dialog, int value)
{
    if (auto *bar = dialog.findChild<QProgressBar *>())
        bar->setValue(value);
}

void BackgroundWork::cancel()
{
    if (!worker)
        return;
    progress->cancel = true;
    if (cancelHook)
        cancelHook();
}

void BackgroundWork::showDialog(const QString &label)
{
    dialog = new QProgressDialog(label, tr("Cancel"), 0, 100, window);
    dialog->setObjectName(dialogName);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAutoReset(false);
    dialog->setAutoClose(false);
    dialog->setMinimumDuration(0);
    if (dialogSetup)
        dialogSetup(*dialog);
    connect(dialog, &QProgressDialog::canceled, this, &BackgroundWork::cancel);
    updateTimer->start();
    dialog->show();
    emit dialogShown(dialog);
}

void BackgroundWork::workerEnded()
{
    worker->wait();
    // The thread object may be the sender of the signal being delivered: it goes once that is
    // done.
    worker->deleteLater();
    worker = nullptr;
    updateTimer->stop();
    if (dialog) {
        dialog->hide();
        dialog->deleteLater();
        dialog = nullptr;
    }
    emit finished(completed.load());
}
