#ifndef BACKGROUNDWORK_H
#define BACKGROUNDWORK_H

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QProgressDialog;
class QThread;
class QTimer;
class QWidget;

// Runs one piece of work at a time (reading or writing a big file, a fit) on a worker thread
// beside the window. Work that ends within the dialog delay looks as it always did: the window
// waits for it, with no event loop running, and finished() comes before start() returns. Longer
// work shows a window-modal progress dialog with Cancel, and finished() comes from the event
// loop when the work has ended; the window goes on from that signal.
class BackgroundWork : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultDialogDelayMs = 300;

    // What the work and the window share: the work sets done and total (in any unit) as it goes
    // and stops soon once cancel is set.
    struct Progress
    {
        std::atomic<qint64> done{0};
        std::atomic<qint64> total{0};
        std::atomic<bool> cancel{false};
    };

    // The work runs on the worker thread; it returns false when it stopped for Cancel.
    using Work = std::function<bool(Progress &)>;
    // Called on the window's thread every 100 ms while the dialog shows, to show the progress.
    using DialogUpdate = std::function<void(QProgressDialog &, const Progress &)>;
    // Called once as the dialog is made, before it shows (a bar of its own, a range).
    using DialogSetup = std::function<void(QProgressDialog &)>;

    // dialogName is the object name of the progress dialog.
    BackgroundWork(QWidget *window, const QString &dialogName);
    // Cancels running work and waits for it.
    ~BackgroundWork() override;

    // The pause before the progress dialog appears (tests shorten it).
    void setDialogDelay(int milliseconds) { dialogDelayMs = milliseconds; }
    // How the dialog shows the progress; by default the share done of total, in per cent.
    void setDialogUpdate(DialogUpdate update) { dialogUpdate = std::move(update); }
    void setDialogSetup(DialogSetup setup) { dialogSetup = std::move(setup); }
    // Called on the window's thread when the user cancels, beside setting Progress::cancel.
    void setCancelHook(std::function<void()> hook) { cancelHook = std::move(hook); }

    // Starts work with label as the dialog's text. False when work is running already or no
    // thread could be started: work does not run then, and finished() does not come.
    bool start(const QString &label, Work work);
    bool isRunning() const { return worker != nullptr; }
    // Puts value on the dialog's bar. QProgressDialog::setValue would run the event loop of a
    // modal dialog inside the caller, so that another slot could run in the middle of it.
    static void showValue(QProgressDialog &dialog, int value);
    // Asks the running work to stop soon; finished(false) follows when it has.
    void cancel();

signals:
    // The work has ended: completed is its answer, false when it was cancelled.
    void finished(bool completed);
    // The progress dialog has appeared (tests answer it).
    void dialogShown(QProgressDialog *dialog);

private:
    void showDialog(const QString &label);
    void workerEnded();

    QWidget *window;
    QString dialogName;
    int dialogDelayMs = defaultDialogDelayMs;
    DialogUpdate dialogUpdate;
    DialogSetup dialogSetup;
    std::function<void()> cancelHook;
    std::unique_ptr<Progress> progress;
    QThread *worker = nullptr;
    std::atomic<bool> completed{false};
    QPointer<QProgressDialog> dialog;
    QTimer *updateTimer;
};

#endif // BACKGROUNDWORK_H
