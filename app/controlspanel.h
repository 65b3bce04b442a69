#ifndef CONTROLSPANEL_H
#define CONTROLSPANEL_H

#include <QObject>
#include <QString>

#include <optional>

#include "instrument/instrumentaddress.h"

namespace Ui {
class MainWindow;
}

class QLabel;
class QMainWindow;
class QThread;
class InstrumentController;
struct InstrumentFailure;
struct InstrumentReport;

// The Controls panel: the interface and address fields, the instrument label in the status bar,
// Search Peak, Get Marker Pos and the timed run. The transfers run in InstrumentController on a
// thread of its own; the panel starts each operation and goes on when the controller signals its
// end, so the window stays live meanwhile and what must not run then is kept out by the state.
class ControlsPanel : public QObject
{
    Q_OBJECT

public:
    // Idle: anything may start. MarkerOperation: Search Peak or Get Marker Pos runs; the fields
    // and all three buttons are locked. Run: a timed run goes on; the button reads "Stop" and
    // the fields are locked. Stopping: Stop was pressed (or the close question answered), and the
    // reading still to come closes the run; the panel looks idle, but nothing starts until then.
    // Sweep: the Sweep panel measures with the panel's instrument; everything here is locked.
    enum class State
    {
        Idle,
        MarkerOperation,
        Run,
        Stopping,
        Sweep
    };

    // The pause between two readings of a timed run.
    static constexpr int defaultReadingIntervalMs = 500;
    // How long the panel's end waits for instrument calls abandoned after their time-out to come
    // back (a VXI-11 call runs on for up to 25 s): longer than a call just abandoned needs, short
    // enough that closing never hangs for long.
    static constexpr int abandonedCallsWaitMs = 3000;

    ControlsPanel(QMainWindow *window, Ui::MainWindow *ui);
    // Ends the instrument thread (a transfer in flight ends first, within its time-out) and
    // waits a while for abandoned calls.
    ~ControlsPanel() override;

    State state() const { return current; }
    void setReadingInterval(int milliseconds);
    int readingInterval() const { return intervalMs; }
    // The readings of a timed run, from the Points Count field.
    int readingsPerPoint() const;
    // Locks the panel while a sweep measures with its instrument, and frees it again. A sweep
    // starts only from Idle: false when the panel is busy.
    bool setSweepRunning(bool running);
    // The address of the instrument chosen, read from the fields now; none (with the reason in
    // the status bar) when the Address field holds no address.
    std::optional<InstrumentAddress> instrumentAddress();

    // The dY of a run's point as the dY field chooses it: the spread of the readings (the
    // population standard deviation) or the standard error of their mean.
    double chosenDy(const InstrumentReport &report) const;
    // "X = …; Y = …; dY = …" of a run's point, with what dY is when it is the standard error,
    // and how far the marker moved when the readings' X differ.
    QString pointText(const InstrumentReport &report) const;

    void searchPeak();
    void getMarkerPos();
    // Starts a run, or asks the running one to stop after the reading in flight or already
    // scheduled.
    void startOrStop();
    // A reading of the run was taken: the progress bar shows the share of the count taken.
    void showProgress(int taken, int count);
    // Asked as the window closes: true when it may close now. While a run goes on the user is
    // asked; false when the window stays (Cancel) or closes once the run has ended.
    bool mayClose();

signals:
    // A run has ended with a point: X of the last reading, the mean of Y, its spread.
    void pointMeasured(double x, double y, double dY);

private:
    // The one place the state changes, with the buttons and fields that show it.
    void setState(State next);
    void chooseInterface(int index);
    void showInterfaceFields();
    void readAddressField();
    void showInstrumentName();
    void runMarkerOperation(bool searchPeak);
    void showFailure(const InstrumentReport &report);

public:
    // The GPIB box's five lines for a failed driver call.
    static QString gpibStatusText(const InstrumentFailure &failure);

private:
    static QString withNotices(const QString &message, const QStringList &notices);
    void markerFinished(const InstrumentReport &report);
    void runFinished(const InstrumentReport &report);
    // What the run's end shows: its failure, its point and the status message.
    void showRun(const InstrumentReport &report);
    void instrumentIdentified(const InstrumentAddress &address, const QString &identity);

    QMainWindow *window;
    Ui::MainWindow *ui;
    State current = State::Idle;
    // Whether the window closes once the run has ended (the close question was answered).
    bool closeAfterRun = false;
    QThread *instrumentThread;
    InstrumentController *instrument;
    QLabel *instrumentLabel;
    int interfaceIndex = -1;
    int intervalMs = defaultReadingIntervalMs;
    int controlsBaseHeight = 0;
    // The Address field's text of each interface, kept while another one is chosen.
    QString addressTexts[5];
};

#endif // CONTROLSPANEL_H
