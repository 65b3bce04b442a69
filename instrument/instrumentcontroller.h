#ifndef INSTRUMENTCONTROLLER_H
#define INSTRUMENTCONTROLLER_H

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

#include "instrument/instrumentaddress.h"
#include "instrument/instrumentconnection.h"
#include "instrument/markerposition.h"

class QTimer;

// How an instrument operation ended.
struct InstrumentReport
{
    // Get Marker Pos and Search Peak: the position read, none when the operation failed.
    std::optional<MarkerPosition> marker;
    // The failure that ended the operation or the run, none when nothing failed.
    std::optional<InstrumentFailure> failure;
    // A timed run: the readings taken of the count asked for, and the point they give (X of the
    // last reading, the mean of Y and its population standard deviation).
    int taken = 0;
    int count = 0;
    double x = 0;
    double mean = 0;
    double deviation = 0;
    // The standard error of the mean: the sample standard deviation (divisor taken - 1) over the
    // square root of taken; 0 with fewer than two readings, where it is unknown.
    double standardError = 0;
    // The lowest and the highest X of the readings: the marker moved when they differ.
    double xLow = 0;
    double xHigh = 0;
    // Whether Stop ended the run before its count, and whether it is to add no point at all.
    bool stopped = false;
    bool discarded = false;
    // What the connections did on their own that the user should hear of.
    QStringList notices;
};
Q_DECLARE_METATYPE(InstrumentReport)

// The marker operations and the timed acquisition, written once against InstrumentConnection
// for every interface. It lives on a thread of its own, so no transfer ever holds up the window;
// each operation is started through a queued call and ends in one signal. Every operation opens
// a connection of its own (clear, "SYST:DISP:UPD ON"), and its first failure ends it: the
// connection is closed and no reading is made up.
class InstrumentController : public QObject
{
    Q_OBJECT

public:
    explicit InstrumentController(QObject *parent = nullptr);
    ~InstrumentController() override;

    // The pause between the end of one reading of a run and the start of the next. Any thread.
    void setReadingInterval(int milliseconds) { intervalMs = milliseconds; }
    // Asks the run to end: the reading in flight, or the one already scheduled, still comes and
    // closes it. Any thread.
    void requestStop() { stopRequested = true; }
    // Ends the run without waiting for a scheduled reading, with a point from the readings so far
    // (keep) or without one. A reading in flight still ends first. Any thread.
    void finishNow(bool keep);
    // The readings the run has taken so far, 0 when none runs. Any thread.
    int readingsTaken() const { return taken; }

    // One marker reading on a connection of its own, on the calling thread; nothing is
    // signalled. For measuring the cost of a reading.
    std::optional<MarkerPosition> readMarkerOnce(const InstrumentAddress &address,
                                                 InstrumentFailure *failure);

    // Writes command to the instrument at address on a connection of its own, on the calling
    // thread, then with waitForCompletion "*OPC?", whose reply must be "1". An analyser's
    // connection is opened as for the marker operations; a source's is only opened and cleared.
    // Returns the failure that ended it, none when all went through.
    std::optional<InstrumentFailure> sendCommand(const InstrumentAddress &address,
                                                 const QByteArray &command, bool waitForCompletion,
                                                 bool analyser);

public slots:
    void getMarkerPos(const InstrumentAddress &address);
    void searchPeak(const InstrumentAddress &address);
    void startRun(const InstrumentAddress &address, int count);

signals:
    void markerFinished(const InstrumentReport &report);
    void readingTaken(int taken, int count);
    void runFinished(const InstrumentReport &report);
    // The analyser at address answered *IDN? with identity.
    void identified(const InstrumentAddress &address, const QString &identity);

private:
    void use(const InstrumentAddress &address);
    // Moves the notices of the connection in use to the operation's list; takeNotices() also
    // empties that list and returns what it held.
    void keepNotices();
    QStringList takeNotices();
    bool ensureOpen(bool analyser = true);
    bool send(const QByteArray &command);
    std::optional<double> query(const QByteArray &command);
    std::optional<MarkerPosition> readMarker();
    void closeAfterFailure();
    void takeReading();
    void finishPending();
    void finishRun();

    std::unique_ptr<InstrumentConnection> connection;
    InstrumentAddress address;
    std::optional<InstrumentAddress> identifiedAddress;
    QString identity;
    std::optional<InstrumentFailure> failure;

    QTimer *pace;
    bool running = false;
    std::atomic<int> taken{0};
    int count = 0;
    double runX = 0;
    // The running mean of Y and the sum of squared deviations from it (Welford's update): the
    // sums of Y and Y² lose every digit of the spread when it is small beside the mean.
    double meanY = 0;
    double squaresY = 0;
    double xLow = 0;
    double xHigh = 0;
    QStringList notices;

    std::atomic<int> intervalMs{500};
    std::atomic<bool> stopRequested{false};
    // 0: none; 1: finish now with a point; 2: finish now without one.
    std::atomic<int> finishRequest{0};
};

#endif // INSTRUMENTCONTROLLER_H
