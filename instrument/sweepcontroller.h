#ifndef SWEEPCONTROLLER_H
#define SWEEPCONTROLLER_H

#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <optional>

#include "instrument/instrumentcontroller.h"
#include "instrument/sweepplan.h"

class QTimer;

// What a sweep does at each frequency, besides the timed run on the analyser.
struct SweepSettings
{
    InstrumentAddress analyser;
    // The instrument that sets the frequency; none when the analyser is swept alone.
    std::optional<InstrumentAddress> source;
    QString sourceCommand = QStringLiteral("FREQ %1");
    bool sourceWaits = true;
    bool followCentre = true;
    QString centreCommand = QStringLiteral("FREQ:CENT %1");
    bool searchPeak = true;
    int settleMs = 200;
    // The timed run at each frequency: its readings and the pause between two of them.
    int readings = 10;
    int readingIntervalMs = 500;
};
Q_DECLARE_METATYPE(SweepSettings)

// How a sweep ended.
struct SweepReport
{
    // The points measured and the points planned.
    int measured = 0;
    int total = 0;
    // The step at which it ended (1-based), when it ended early.
    int endedAt = 0;
    double firstFrequency = 0;
    double lastFrequency = 0;
    std::optional<InstrumentFailure> failure;
    // Whether the failure was the source's (else the analyser's).
    bool sourceFailed = false;
    bool stopped = false;
};
Q_DECLARE_METATYPE(SweepReport)

// A frequency sweep: at each frequency of a plan the source is tuned (and asked with *OPC? that
// it is done), the analyser is centred on the frequency, the pause lets both settle, the marker
// searches the peak, and then a timed run exactly as the Start button's gives the point. Each
// instrument is reached on connections of its own, as by every other operation. It lives on a
// thread of its own like InstrumentController, whose timed run it uses; each step goes on from
// the end of the one before, so the window stays live throughout.
class SweepController : public QObject
{
    Q_OBJECT

public:
    explicit SweepController(QObject *parent = nullptr);
    ~SweepController() override;

    // Asks the sweep to end after the reading in flight (or the one already scheduled): its
    // point is added when it has a reading. A step that is still tuning or settling ends before
    // its run. Any thread.
    void requestStop();
    // Ends the sweep at once, the run in flight with a point from its readings (keep) or without
    // one. Any thread.
    void finishNow(bool keep);
    // The step under way (1-based) and the readings of its run so far. Any thread.
    int currentStep() const { return step + 1; }
    int readingsTaken() const { return runner->readingsTaken(); }

public slots:
    void start(const SweepSettings &settings, const SweepPlan &plan);

signals:
    // A step begins at frequency.
    void stepStarted(int step, int total, double frequency);
    void readingTaken(int taken, int count);
    // The run of step has ended with a point.
    void pointMeasured(int step, int total, double frequency, const InstrumentReport &report);
    void sweepFinished(const SweepReport &report);

private:
    void beginStep();
    void afterSettle();
    void runFinished(const InstrumentReport &report);
    void finish(const std::optional<InstrumentFailure> &failure = std::nullopt,
                bool sourceFailed = false);
    void stopPending();

    InstrumentController *runner;
    QTimer *settle;
    SweepSettings settings;
    QVector<double> frequencies;
    bool running = false;
    std::atomic<int> step{0};
    int measured = 0;
    bool lastRunComplete = true;
    std::atomic<bool> stopRequested{false};
};

#endif // SWEEPCONTROLLER_H
