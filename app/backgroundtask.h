#ifndef BACKGROUNDTASK_H
#define BACKGROUNDTASK_H

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class QWidget;

// Runs a piece of work (reading or writing a big file) on a worker thread while the window
// waits for it and keeps repainting. For the first dialogDelayMs nothing new appears and the
// user's input waits until the work is done, so short work looks as it always did; after that
// a modal progress dialog shows the share done and offers Cancel.
class BackgroundTask : public QObject
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

    explicit BackgroundTask(QWidget *window);

    // The pause before the progress dialog appears (tests shorten it).
    void setDialogDelay(int milliseconds) { dialogDelayMs = milliseconds; }

    // Runs work on a worker thread and returns once it has returned; label is the dialog's
    // text. False when no thread could be started; the work did not run then.
    bool run(const QString &label, const std::function<void(Progress &)> &work);

private:
    QWidget *window;
    int dialogDelayMs = defaultDialogDelayMs;
};

#endif // BACKGROUNDTASK_H
