#include "instrument/gpibconnection.h"

#include <QCoreApplication>

#include <algorithm>

#include "instrument/gpibdriver.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

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

// The driver's status for the call that just failed, in the box's five lines, with a plain
// line for the two failures a lab meets most: no board configured, and nobody at the address.
// Closes the connection.
bool GpibConnection::report(const QString &message)
{
    const int ibsta = driver->ThreadIbsta();
    const int iberr = driver->ThreadIberr();
    const int ibcnt = driver->ThreadIbcnt();
    QString text = QStringLiteral("%1\r\nibsta = 0x%2, iberr = 0x%3\r\n")
                       .arg(message, QString::number(static_cast<uint>(ibsta), 16),
                            QString::number(static_cast<uint>(iberr), 16));
    text += QStringLiteral("ibsta ===> ") + GpibDriver::statusNames(ibsta);
    text += QStringLiteral("\r\niberr ===> ");
    const QString errorName = GpibDriver::errorName(iberr);
    if (!errorName.isEmpty())
        text += errorName + QLatin1Char(' ');
    text += QStringLiteral("\r\nibcnt = %1").arg(ibcnt);

    QString explanation;
    const bool atOpen = message == tr("ibdev error") || message == tr("ibclr error");
    if (iberr == GpibDriver::EDVR && atOpen)
        explanation = tr("No GPIB board is configured or reachable (check /etc/gpib.conf and "
                         "gpib_config).");
    else if (iberr == GpibDriver::ENOL)
        explanation = tr("No instrument answers at GPIB address %1.").arg(address);

    lastFailure =
        InstrumentFailure{true, tr("GPIB Error"), text, explanation,
                          explanation.isEmpty() ? tr("GPIB %1").arg(message) : explanation};
    close();
    return false;
}
