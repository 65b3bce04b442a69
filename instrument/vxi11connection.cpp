#include "instrument/vxi11connection.h"

#include <QCoreApplication>

#include <lxi.h>

#include <mutex>

#include "instrument/hostlookup.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

Vxi11Connection::Vxi11Connection(const InstrumentAddress &address)
    : address(address), where(address.where())
{
}

Vxi11Connection::~Vxi11Connection()
{
    close();
}

// The host is looked up here, within the time-out, because the RPC library's own lookup has
// none; liblxi gets the numeric address.
bool Vxi11Connection::open()
{
    if (opened)
        return true;
    static std::once_flag initialised;
    std::call_once(initialised, [] { lxi_init(); });
    QString error;
    const std::vector<HostLookup::Address> addresses =
        HostLookup::resolve(address.host, 111, timeoutMs, &error);
    if (addresses.empty())
        return fail(tr("Could not find the host %1: %2").arg(address.host, error));
    const QByteArray host = HostLookup::numeric(addresses.front()).toLatin1();
    const QByteArray name = address.deviceName.toLatin1();
    device = lxi_connect(host.constData(), 0, name.constData(), timeoutMs, VXI11);
    if (device < 0)
        return fail(tr("Could not connect to %1: no VXI-11 device %2 answers there")
                        .arg(address.host, address.deviceName));
    opened = true;
    return true;
}

// A new link has nothing pending: there is nothing to clear.
bool Vxi11Connection::clear()
{
    return opened;
}

bool Vxi11Connection::write(const QByteArray &command)
{
    if (!opened)
        return false;
    lastCommand = command;
    const QByteArray line = command + '\n';
    if (lxi_send(device, line.constData(), line.size(), timeoutMs) != line.size())
        return fail(tr("Could not send %1 to %2").arg(QString::fromLatin1(command), where));
    return true;
}

std::optional<QByteArray> Vxi11Connection::read()
{
    if (!opened)
        return std::nullopt;
    char buffer[replySize];
    const int count = lxi_receive(device, buffer, replySize, timeoutMs);
    if (count < 0) {
        fail(tr("No reply from %1 within %2 s to %3")
                 .arg(where)
                 .arg(timeoutMs / 1000)
                 .arg(QString::fromLatin1(lastCommand)));
        return std::nullopt;
    }
    return QByteArray(buffer, count);
}

void Vxi11Connection::close()
{
    if (device >= 0)
        lxi_disconnect(device);
    device = -1;
    opened = false;
}
