#include "instrument/instrumentcontroller.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "data/numbertext.h"

namespace {

// Registers the types that the signals carry to the window's thread.
const int registered = [] {
    qRegisterMetaType<InstrumentAddress>();
    qRegisterMetaType<InstrumentReport>();
    qRegisterMetaType<InstrumentFailure>();
    return 0;
}();

// Whether value is one of SCPI's stand-ins for no reading: 9.91E37 for "not a number", and
// ±9.9E37 for infinity.
bool isNoValue(double value)
{
    return value == 9.91e37 || std::fabs(value) == 9.9e37;
}

} // namespace

InstrumentController::InstrumentController(QObject *parent)
    : QObject(parent), pace(new QTimer(this))
{
    Q_UNUSED(registered);
    pace->setSingleShot(true);
    // A coarse timer may fire up to 5 % early: the pause would be 475 ms.
    pace->setTimerType(Qt::PreciseTimer);
    connect(pace, &QTimer::timeout, this, &InstrumentController::takeReading);
}

InstrumentController::~InstrumentController() = default;

// Takes a new connection for each operation; the analyser is identified again only when the
// address has changed since it last was.
void InstrumentController::use(const InstrumentAddress &newAddress)
{
    keepNotices();
    address = newAddress;
    connection = InstrumentConnection::create(address);
    failure.reset();
}

void InstrumentController::keepNotices()
{
    if (connection)
        notices += connection->takeNotices();
}

// Opens the connection unless it is open: open, clear, and for an analyser "SYST:DISP:UPD ON"
// and, at the first connection to a LAN or USB analyser, its identity.
bool InstrumentController::ensureOpen(bool analyser)
{
    if (connection->isOpen())
        return true;
    if (!connection->open() || !connection->clear()) {
        failure = connection->failure();
        return false;
    }
    if (!analyser)
        return true;
    if (!send("SYST:DISP:UPD ON"))
        return false;
    if (!connection->asksIdentity())
        return true;
    if (identifiedAddress != address) {
        if (!send("*IDN?"))
            return false;
        const std::optional<QByteArray> reply = connection->read();
        if (!reply) {
            failure = connection->failure();
            return false;
        }
        identifiedAddress = address;
        identity = QString::fromUtf8(*reply).trimmed();
    }
    emit identified(address, identity);
    return true;
}

bool InstrumentController::send(const QByteArray &command)
{
    if (connection->write(command))
        return true;
    failure = connection->failure();
    return false;
}

// Writes a query and reads its reply: one number ended by a line feed. Anything else (no
// number, or the instrument's "no value") is a failure that the status bar reports; the
// connection is then closed.
std::optional<double> InstrumentController::query(const QByteArray &command)
{
    if (!send(command))
        return std::nullopt;
    const std::optional<QByteArray> reply = connection->read();
    if (!reply) {
        failure = connection->failure();
        return std::nullopt;
    }
    double value = 0;
    if (!reply->contains('\n') || !NumberText::toDouble(QString::fromUtf8(*reply), &value))
        failure = InstrumentConnection::replyFailure(
            InstrumentConnection::tr("The analyser's reply is not a number: %1")
                .arg(InstrumentConnection::shownReply(*reply)));
    else if (isNoValue(value))
        failure = InstrumentConnection::replyFailure(
            InstrumentConnection::tr("The analyser reported no valid value (%1) to %2")
                .arg(QString::fromLatin1(reply->trimmed()), QString::fromLatin1(command)));
    else
        return value;
    connection->close();
    return std::nullopt;
}

std::optional<MarkerPosition> InstrumentController::readMarker()
{
    if (!ensureOpen())
        return std::nullopt;
    const std::optional<double> x = query("CALC:MARK:X?");
    const std::optional<double> y = x ? query("CALC:MARK:Y?") : std::nullopt;
    connection->close();
    if (!y)
        return std::nullopt;
    return MarkerPosition{*x, *y};
}

std::optional<MarkerPosition> InstrumentController::readMarkerOnce(const InstrumentAddress &where,
                                                                   InstrumentFailure *failed)
{
    use(where);
    const std::optional<MarkerPosition> marker = readMarker();
    if (!marker && failure && failed)
        *failed = *failure;
    return marker;
}

std::optional<InstrumentFailure> InstrumentController::sendCommand(const InstrumentAddress &where,
                                                                   const QByteArray &command,
                                                                   bool waitForCompletion,
                                                                   bool analyser)
{
    use(where);
    if (ensureOpen(analyser) && send(command) && waitForCompletion && send("*OPC?")) {
        const std::optional<QByteArray> reply = connection->read();
        if (!reply)
            failure = connection->failure();
        else if (reply->trimmed() != "1")
            failure = InstrumentConnection::replyFailure(
                InstrumentConnection::tr("%1 answered %2 to *OPC? after %3")
                    .arg(where.where(), InstrumentConnection::shownReply(*reply),
                         QString::fromLatin1(command)));
    }
    connection->close();
    keepNotices();
    return failure;
}

void InstrumentController::getMarkerPos(const InstrumentAddress &where)
{
    use(where);
    InstrumentReport report;
    report.marker = readMarker();
    report.failure = failure;
    report.notices = takeNotices();
    emit markerFinished(report);
}

// Puts the marker on the highest peak, then reads it on the same connection. Nothing waits for
// the analyser: the marker queries that follow are answered once the search is done.
void InstrumentController::searchPeak(const InstrumentAddress &where)
{
    use(where);
    InstrumentReport report;
    if (ensureOpen() && send("CALC:MARK:MAX"))
        report.marker = readMarker();
    connection->close();
    report.failure = failure;
    report.notices = takeNotices();
    emit markerFinished(report);
}

QStringList InstrumentController::takeNotices()
{
    keepNotices();
    QStringList taken;
    taken.swap(notices);
    return taken;
}

void InstrumentController::startRun(const InstrumentAddress &where, int readings)
{
    if (running)
        return;
    address = where;
    running = true;
    count = readings;
    taken = 0;
    runX = 0;
    meanY = 0;
    squaresY = 0;
    xLow = 0;
    xHigh = 0;
    notices.clear();
    stopRequested = false;
    finishRequest = 0;
    takeReading();
}

void InstrumentController::finishNow(bool keep)
{
    finishRequest = keep ? 1 : 2;
    stopRequested = true;
    QMetaObject::invokeMethod(
        this, [this] { finishPending(); }, Qt::QueuedConnection);
}

// Ends a run that waits for its next reading; a run whose reading is in flight ends by itself.
void InstrumentController::finishPending()
{
    if (running && pace->isActive()) {
        pace->stop();
        finishRun();
    }
}

// One reading of a run, on a connection of its own. The next follows the reading interval after
// this one ends, until the count is reached or Stop was asked for. A reading that fails is not
// counted and ends the run with the readings before it.
void InstrumentController::takeReading()
{
    if (!running)
        return;
    use(address);
    const std::optional<MarkerPosition> marker = readMarker();
    if (marker) {
        ++taken;
        runX = marker->x;
        xLow = taken == 1 ? runX : std::min(xLow, runX);
        xHigh = taken == 1 ? runX : std::max(xHigh, runX);
        const double step = marker->y - meanY;
        meanY += step / taken;
        squaresY += step * (marker->y - meanY);
        // The next reading is scheduled before the window hears of this one, so a Stop pressed
        // after it has a reading still to come, as after any other.
        const bool more = taken < count && !stopRequested;
        if (more)
            pace->start(intervalMs);
        emit readingTaken(taken, count);
        if (more)
            return;
    }
    finishRun();
}

void InstrumentController::finishRun()
{
    InstrumentReport report;
    report.failure = failure;
    report.taken = taken;
    report.count = count;
    report.stopped = stopRequested && !failure && taken < count;
    report.discarded = finishRequest == 2;
    if (taken > 0) {
        report.x = runX;
        report.mean = meanY;
        // The population standard deviation: the divisor is the number of readings.
        report.deviation = std::sqrt(squaresY / taken);
        if (taken > 1)
            report.standardError = std::sqrt(squaresY / (taken - 1)) / std::sqrt(double(taken));
        report.xLow = xLow;
        report.xHigh = xHigh;
    }
    keepNotices();
    report.notices = notices;
    running = false;
    taken = 0;
    emit runFinished(report);
}
