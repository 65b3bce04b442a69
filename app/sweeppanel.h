#ifndef SWEEPPANEL_H
#define SWEEPPANEL_H

#include <QWidget>

#include <optional>

#include "instrument/sweepcontroller.h"

namespace Ui {
class SweepPanel;
}

class QMainWindow;
class QStatusBar;
class QThread;
class ControlsPanel;

// The Sweep panel: the source that sets the frequency, what the analyser (the Controls panel's
// instrument) does at each frequency, the plan of frequencies, and Start/Stop with the points
// measured so far. The sweep itself runs in SweepController on a thread of its own; the panel
// starts and stops it and shows how it goes. While it runs the Controls panel is locked, and a
// sweep starts only while the Controls panel is idle.
class SweepPanel : public QWidget
{
    Q_OBJECT

public:
    // The items of the source's Interface field.
    enum SourceChoice
    {
        NoSource,
        SourceLanSocket,
        SourceVxi11,
        SourceUsbTmc,
        SourceGpib,
        SimulatedSource
    };

    explicit SweepPanel(QWidget *parent = nullptr);
    ~SweepPanel() override;

    // The window the panel's boxes and questions belong to, its status bar, and the Controls
    // panel whose instrument and timed run the sweep uses.
    void attach(QMainWindow *window, QStatusBar *statusBar, ControlsPanel *controls);
    // Ends the sweep thread (a transfer in flight ends first); the panel sweeps no more.
    void shutDown();

    bool isRunning() const { return running; }
    // Asked as the window closes: true when it may close now. During a sweep the user is asked,
    // as during a run; false when the window stays, or closes once the sweep has ended.
    bool mayClose();

    // Why the fields cannot be swept, empty when they can.
    QString refusal() const;
    // The plan in the fields (refusal() says whether it can be swept).
    SweepPlan plan() const;

signals:
    // A point of the sweep numbered sweep.
    void pointMeasured(double x, double y, double dY, quint64 sweep);

private:
    void startOrStop();
    void showRefusal();
    void sourceChosen(int index);
    void followResourceString();
    std::optional<InstrumentAddress> sourceAddress(QString *hint) const;
    void sweepPointMeasured(int step, int total, double frequency, const InstrumentReport &report);
    void sweepFinished(const SweepReport &report);
    void showFailure(const SweepReport &report);
    void setRunning(bool running);

    Ui::SweepPanel *ui;
    QMainWindow *window = nullptr;
    QStatusBar *statusBar = nullptr;
    ControlsPanel *controls = nullptr;
    QThread *sweepThread;
    SweepController *sweep;
    bool running = false;
    bool closeAfterSweep = false;
    // The number of the sweep under way: its points are one step to undo.
    quint64 sweepNumber = 0;
    // The message of the sweep's last point, kept for the message of its end.
    QString lastPointMessage;
    bool lastPointPartial = false;
};

#endif // SWEEPPANEL_H
