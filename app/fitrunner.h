#ifndef FITRUNNER_H
#define FITRUNNER_H

#include <QObject>

#include <functional>

#include "regression/cabstractregresscalculation.h"

class QWidget;

// Runs a fit on a worker thread while the window waits for it and keeps repainting. For the
// first dialogDelayMs nothing new appears and the user's input waits until the fit is done, so
// short fits look as they always did; after that a modal "Fitting…" dialog shows the steps
// accepted so far, and then the evaluations of the refinement, a few times a second, and
// offers Cancel.
class FitRunner : public QObject
{
    Q_OBJECT

public:
    static constexpr int dialogDelayMs = 300;

    explicit FitRunner(QWidget *window);

    // Runs work on a worker thread with the runner's monitor and returns once it has ended,
    // with work's own answer: true when it ran to its end, false when it was cancelled. What
    // work touches must not be touched by anyone else meanwhile.
    bool run(const std::function<bool(cAbstractRegressCalculation::Monitor *)> &work);

    bool isRunning() const { return running; }

    // Ends the running fit at its next accepted step.
    void cancel() { monitor.cancel.store(true); }

private:
    QWidget *window;
    cAbstractRegressCalculation::Monitor monitor;
    bool running = false;
};

#endif // FITRUNNER_H
