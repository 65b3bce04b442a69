#include "instrument/instrumentcontroller.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

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

} // namespace

InstrumentController::InstrumentController(QObject *parent)
    : QObject(parent), pace(new QTimer(this))
{
    Q_UNUSED(registered);
    pace->setSingleShot(true);
    connect(pace, &QTimer::timeout, this, &InstrumentController::takeReading);
}

InstrumentController::~InstrumentController() = default;

// Takes a new connection for each operation; the analyser is identified again only when the
// address has changed since it last was.
void InstrumentController::use(const InstrumentAddress &newAddress)
{
    address = newAddress;
    connection = InstrumentConnection::create(address);
    failure.reset();
}

// Opens the connection unless it is open: open, clear, "SYST:DISP:UPD ON", and at the first
// connection to a LAN or USB analyser its identity.
bool InstrumentController::ensureOpen()
{
    if (connection->isOpen())
        return true;
    if (!connection->open() || !connection->clear()) {
        failure = connection->failure();
        return false;
    }
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

// Writes a query and reads its reply: one number ended by a line feed. Anything else is a
// failure that the status bar reports; the connection is then closed.
std::optional<double> InstrumentController::query(const QByteArray &command)
{
    if (!send(command))
        return std::nullopt;
    const std::optional<QByteArray> reply = connection->read();
    if (!reply) {
        failure = connection->failure();
        return std::nullopt;
    }
    const QString text = QString::fromUtf8(*reply);
    double value = 0;
    if (text.contains(QLatin1Char('\n')) && NumberText::toDouble(text, &value))
        return value;
    QString shown = text.simplified();
    if (shown.size() > 40)
        shown = shown.left(40) + QChar(0x2026);
    const QString message = tr("The analyser's reply is not a number: %1")
                                .arg(shown.isEmpty() ? tr("(empty reply)") : shown);
    failure = InstrumentFailure{false, QString(), message, QString(), message};
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

void InstrumentController::getMarkerPos(const InstrumentAddress &where)
{
    use(where);
    InstrumentReport report;
    report.marker = readMarker();
    report.failure = failure;
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
    emit markerFinished(report);
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
    sumY = 0;
    sumY2 = 0;
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
        sumY += marker->y;
        sumY2 += marker->y * marker->y;
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
        report.mean = sumY / taken;
        // Equal readings can leave the variance a hair below zero through rounding: dY is then 0.
        const double variance = sumY2 / taken - report.mean * report.mean;
        report.deviation = variance > 0 ? std::sqrt(variance) : 0.0;
    }
    running = false;
    taken = 0;
    emit runFinished(report);
}
