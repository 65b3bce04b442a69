#include "instrument/vxi11connection.h"

#include <QCoreApplication>

#include <lxi.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "instrument/hostlookup.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// What a call and its waiter share; the one that leaves last frees it.
struct Call
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    int result = -1;
};

// Runs call on a thread of its own and waits for it at most timeoutMs: the RPC library under
// liblxi waits 25 s for a reply whatever time-out it is given. A call that takes longer is
// abandoned (nullopt) and finishes there unseen; orphan then gets its result (a link to close).
std::optional<int> bounded(int timeoutMs, std::function<int()> call,
                           std::function<void(int)> orphan)
{
    auto shared = std::make_shared<Call>();
    std::thread([shared, call, orphan] {
        const int result = call();
        std::unique_lock<std::mutex> lock(shared->mutex);
        shared->result = result;
        shared->finished = true;
        if (shared->abandoned) {
            lock.unlock();
            if (orphan)
                orphan(result);
            return;
        }
        shared->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (shared->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return shared->finished; }))
        return shared->result;
    shared->abandoned = true;
    return std::nullopt;
}

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
    const std::optional<int> link = bounded(
        timeoutMs,
        [host, name] {
            return lxi_connect(host.constData(), 0, name.constData(), timeoutMs, VXI11);
        },
        disconnectLater);
    if (!link)
        return fail(tr("Could not connect to %1 within %2 s").arg(where).arg(timeoutMs / 1000),
                    tr("Could not connect within 1 s"));
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
    const std::optional<int> sent = bounded(
        timeoutMs,
        [link, line] { return lxi_send(link, line.constData(), line.size(), timeoutMs); },
        [link](int) { disconnectLater(link); });
    if (!sent)
        device = -1;
    if (!sent || *sent != line.size())
        return fail(tr("Could not send %1 to %2").arg(QString::fromLatin1(command), where),
                    tr("Could not send %1").arg(QString::fromLatin1(command)));
    return true;
}

std::optional<QByteArray> Vxi11Connection::read()
{
    if (!opened)
        return std::nullopt;
    auto buffer = std::make_shared<QByteArray>(replySize, '\0');
    const int link = device;
    const std::optional<int> received = bounded(
        timeoutMs,
        [link, buffer] { return lxi_receive(link, buffer->data(), replySize, timeoutMs); },
        [link](int) { disconnectLater(link); });
    if (!received)
        device = -1;
    const int count = received ? *received : -1;
    if (count < 0) {
        fail(tr("No reply from %1 within %2 s to %3")
                 .arg(where)
                 .arg(timeoutMs / 1000)
                 .arg(QString::fromLatin1(lastCommand)),
             tr("No reply to %1 within 1 s").arg(QString::fromLatin1(lastCommand)));
        return std::nullopt;
    }
    return buffer->left(count);
}

void Vxi11Connection::close()
{
    const int link = device;
    if (link >= 0)
        bounded(
            timeoutMs, [link] { return lxi_disconnect(link); }, nullptr);
    device = -1;
    opened = false;
}
