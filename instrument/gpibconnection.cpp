#include "instrument/gpibconnection.h"

#include <algorithm>

#include "instrument/gpibdriver.h"

GpibConnection::GpibConnection(GpibDriver *driver, int address) : driver(driver), address(address)
{
}

GpibConnection::~GpibConnection()
{
    close();
}

bool GpibConnection::open()
{
    if (opened)
        return true;
    const int descriptor = driver->ibdev(0, address, 0, 11, 1, 0);
    if (descriptor < 0)
        return report(tr("ibdev error"));
    device = descriptor;
    opened = true;
    return true;
}

bool GpibConnection::clear()
{
    if (!opened)
        return false;
    driver->ibclr(device);
    if (driver->ThreadIbsta() & GpibDriver::ERR)
        return report(tr("ibclr error"));
    return true;
}

// Sends command without terminator: the driver marks the last byte with EOI.
bool GpibConnection::write(const QByteArray &command)
{
    if (!opened)
        return false;
    driver->ibwrt(device, command.constData(), command.size());
    if (driver->ThreadIbsta() & GpibDriver::ERR)
        return report(tr("ibwrt error"));
    return true;
}

// The bytes read, up to the first zero byte. A read that the driver reports as failed (a
// time-out, say) is a failure.
std::optional<QByteArray> GpibConnection::read()
{
    if (!opened)
        return std::nullopt;
    char buffer[replySize] = {};
    driver->ibrd(device, buffer, sizeof buffer);
    if (driver->ThreadIbsta() & GpibDriver::ERR) {
        report(tr("ibrd error"));
        return std::nullopt;
    }
    // A count outside the buffer can only come from a faulty driver; never read past it.
    const int count = std::clamp(driver->ThreadIbcnt(), 0, static_cast<int>(sizeof buffer));
    return QByteArray(buffer, static_cast<int>(qstrnlen(buffer, static_cast<uint>(count))));
}

void GpibConnection::close()
{
    if (!opened)
        return;
    driver->ibonl(device, 0);
    opened = false;
    device = 0;
}

// The two failures a lab meets most get a plain line: no board configured, and nobody at the
// address.
bool GpibConnection::report(const QString &message)
{
    InstrumentFailure failure;
    failure.kind = InstrumentFailure::Kind::Gpib;
    failure.text = message;
    failure.ibsta = driver->ThreadIbsta();
    failure.iberr = driver->ThreadIberr();
    failure.ibcnt = driver->ThreadIbcnt();
    const bool atOpen = message == tr("ibdev error") || message == tr("ibclr error");
    if (failure.iberr == GpibDriver::EDVR && atOpen)
        failure.cause = tr("No GPIB board is configured or reachable (check /etc/gpib.conf and "
                           "gpib_config).");
    else if (failure.iberr == GpibDriver::ENOL)
        failure.cause = tr("No instrument answers at GPIB address %1.").arg(address);
    failure.reason = failure.cause.isEmpty() ? tr("GPIB %1").arg(message) : failure.cause;
    lastFailure = failure;
    close();
    return false;
}
