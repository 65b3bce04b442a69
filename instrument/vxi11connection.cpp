#include "instrument/vxi11connection.h"

#include <lxi.h>

#include <mutex>

#include "instrument/boundedcall.h"
#include "instrument/hostlookup.h"

// The RPC library under liblxi waits 25 s for a reply whatever time-out it is given: every call
// runs bounded in time, and one that takes longer is abandoned and closes its link once it has
// come back.
namespace {

// Closes a link whose call was abandoned, once that call has come back.
void disconnectLater(int device)
{
    if (device >= 0)
        lxi_disconnect(device);
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
        return fail(tr("Could not find the host %1: %2").arg(address.host, error),
                    tr("Host not found"));
    const QByteArray host = HostLookup::numeric(addresses.front()).toLatin1();
    const QByteArray name = address.deviceName.toLatin1();
    const std::optional<int> link = BoundedCall::run<int>(
        timeoutMs,
        [host, name] {
            return lxi_connect(host.constData(), 0, name.constData(), timeoutMs, VXI11);
        },
        disconnectLater);
    if (!link)
        return fail(tr("Could not connect to %1 within %2").arg(where, timeoutText()),
                    tr("Could not connect within %1").arg(timeoutText()));
    if (*link < 0)
        return fail(tr("Could not connect to %1: no VXI-11 device %2 answers there")
                        .arg(address.host, address.deviceName),
                    tr("No VXI-11 device answers"));
    device = *link;
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
    const int link = device;
    const std::optional<int> sent = BoundedCall::run<int>(
        timeoutMs,
        [link, line] { return lxi_send(link, line.constData(), line.size(), timeoutMs); },
        [link](int) { disconnectLater(link); });
    const QString text = QString::fromLatin1(command);
    if (!sent) {
        device = -1;
        return fail(tr("Could not send %1 to %2 within %3").arg(text, where, timeoutText()),
                    tr("Could not send %1 within %2").arg(text, timeoutText()));
    }
    if (*sent != line.size())
        return fail(tr("Could not send %1 to %2: the VXI-11 write failed").arg(text, where),
                    tr("Could not send %1").arg(text));
    return true;
}

std::optional<QByteArray> Vxi11Connection::read()
{
    if (!opened)
        return std::nullopt;
    auto buffer = std::make_shared<QByteArray>(replySize, '\0');
    const int link = device;
    const std::optional<int> received = BoundedCall::run<int>(
        timeoutMs,
        [link, buffer] { return lxi_receive(link, buffer->data(), replySize, timeoutMs); },
        [link](int) { disconnectLater(link); });
    if (!received)
        device = -1;
    const QString query = QString::fromLatin1(lastCommand);
    if (!received) {
        fail(tr("No reply from %1 within %2 to %3").arg(where, timeoutText(), query),
             tr("No reply to %1 within %2").arg(query, timeoutText()));
        return std::nullopt;
    }
    // liblxi answers every other failure, of the RPC call or reported by the device (its own
    // time-out among them), with one error code: the message cannot say which it was.
    const int count = *received;
    if (count < 0) {
        fail(tr("Could not read the reply of %1 to %2: the VXI-11 read failed").arg(where, query),
             tr("Could not read the reply to %1").arg(query));
        return std::nullopt;
    }
    return oneLine(buffer->left(count), lastCommand);
}

void Vxi11Connection::close()
{
    const int link = device;
    if (link >= 0)
        BoundedCall::run(timeoutMs, [link] { lxi_disconnect(link); });
    device = -1;
    opened = false;
}
