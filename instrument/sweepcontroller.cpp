#include "instrument/sweepcontroller.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>

namespace {

const int registered = [] {
    qRegisterMetaType<SweepSettings>();
    qRegisterMetaType<SweepReport>();
    return 0;
}();

} // namespace

SweepController::SweepController(QObject *parent)
    : QObject(parent), runner(new InstrumentController(this)), settle(new QTimer(this))
{
    Q_UNUSED(registered);
    settle->setSingleShot(true);
    settle->setTimerType(Qt::PreciseTimer);
    connect(settle, &QTimer::timeout, this, &SweepController::afterSettle);
    connect(runner, &InstrumentController::readingTaken, this, &SweepController::readingTaken);
    connect(runner, &InstrumentController::runFinished, this, &SweepController::runFinished);
}

SweepController::~SweepController() = default;

void SweepController::requestStop()
{
    stopRequested = true;
    runner->requestStop();
    QMetaObject::invokeMethod(
        this, [this] { stopPending(); }, Qt::QueuedConnection);
}

void SweepController::finishNow(bool keep)
{
    stopRequested = true;
    runner->finishNow(keep);
    QMetaObject::invokeMethod(
        this, [this] { stopPending(); }, Qt::QueuedConnection);
}

// A step waiting for the instruments to settle ends at once: it has no reading to keep.
void SweepController::stopPending()
{
    if (running && settle->isActive()) {
        settle->stop();
        finish();
    }
}

void SweepController::start(const SweepSettings &newSettings, const SweepPlan &plan)
{
    if (running)
        return;
    settings = newSettings;
    frequencies = plan.frequencies();
    if (frequencies.isEmpty())
        return;
    runner->setReadingInterval(settings.readingIntervalMs);
    running = true;
    step = 0;
    measured = 0;
    lastRunComplete = true;
    stopRequested = false;
    beginStep();
}

// Tunes the source and centres the analyser on the step's frequency, each followed by *OPC?
// when asked for, then waits for both to settle.
void SweepController::beginStep()
{
    if (stopRequested) {
        finish();
        return;
    }
    const double frequency = frequencies.at(step);
    emit stepStarted(step + 1, frequencies.size(), frequency);
    if (settings.source) {
        const std::optional<InstrumentFailure> failure = runner->sendCommand(
            *settings.source, SweepPlan::command(settings.sourceCommand, frequency),
            settings.sourceWaits, false);
        if (failure) {
            finish(failure, true);
            return;
        }
    }
    if (settings.followCentre) {
        const std::optional<InstrumentFailure> failure = runner->sendCommand(
            settings.analyser, SweepPlan::command(settings.centreCommand, frequency), true, true);
        if (failure) {
            finish(failure);
            return;
        }
    }
    settle->start(std::max(0, settings.settleMs));
}

void SweepController::afterSettle()
{
    if (stopRequested) {
        finish();
        return;
    }
    if (settings.searchPeak) {
        const std::optional<InstrumentFailure> failure =
            runner->sendCommand(settings.analyser, "CALC:MARK:MAX", false, true);
        if (failure) {
            finish(failure);
            return;
        }
    }
    runner->startRun(settings.analyser, settings.readings);
    // A Stop that came while the run was starting (which clears the runner's own request) still
    // ends it after the reading under way.
    if (stopRequested)
        runner->requestStop();
}

// The step's run has ended: its point, if it has one, and the next step unless the sweep ends.
void SweepController::runFinished(const InstrumentReport &report)
{
    if (!running)
        return;
    lastRunComplete = report.taken >= report.count;
    if (report.taken > 0 && !report.discarded) {
        ++measured;
        emit pointMeasured(step + 1, frequencies.size(), frequencies.at(step), report);
    }
    if (report.failure) {
        finish(report.failure);
        return;
    }
    if (stopRequested || report.stopped || report.discarded || step + 1 >= frequencies.size()) {
        finish();
        return;
    }
    ++step;
    // The next step starts from the event loop, so a Stop asked for meanwhile is seen first.
    QMetaObject::invokeMethod(
        this, [this] { beginStep(); }, Qt::QueuedConnection);
}

void SweepController::finish(const std::optional<InstrumentFailure> &failure, bool sourceFailed)
{
    SweepReport report;
    report.measured = measured;
    report.total = frequencies.size();
    report.firstFrequency = frequencies.value(0);
    report.lastFrequency = frequencies.value(step);
    report.failure = failure;
    report.sourceFailed = sourceFailed;
    report.stopped = !failure && (measured < report.total || !lastRunComplete);
    if (failure || report.stopped)
        report.endedAt = step + 1;
    running = false;
    emit sweepFinished(report);
}
