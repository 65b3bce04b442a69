#include "instrument/instrumentconnection.h"

#include <QElapsedTimer>

#include <cerrno>
#include <cstring>
#include <poll.h>

#include "instrument/gpibconnection.h"
#include "instrument/gpibdriver.h"
#include "instrument/scpisocketconnection.h"
#include "instrument/simulatedanalyser.h"
#include "instrument/usbtmcconnection.h"
#include "instrument/vxi11connection.h"

InstrumentConnection::~InstrumentConnection() = default;

std::unique_ptr<InstrumentConnection> InstrumentConnection::create(const InstrumentAddress &address)
{
    switch (address.interface) {
    case InstrumentInterface::Gpib:
        return std::make_unique<GpibConnection>(GpibDriver::current(), address.gpibAddress);
    case InstrumentInterface::LanSocket:
        return std::make_unique<ScpiSocketConnection>(address);
    case InstrumentInterface::Vxi11:
        return std::make_unique<Vxi11Connection>(address);
    case InstrumentInterface::UsbTmc:
        return std::make_unique<UsbTmcConnection>(address.path);
    case InstrumentInterface::Simulated:
        break;
    }
    return std::make_unique<GpibConnection>(GpibDriver::simulated(), address.gpibAddress);
}

bool InstrumentConnection::fail(const QString &text, const QString &reason)
{
    lastFailure = InstrumentFailure();
    lastFailure.text = text;
    lastFailure.reason = reason.isEmpty() ? text : reason;
    if (opened)
        close();
    opened = false;
    return false;
}

QStringList InstrumentConnection::takeNotices()
{
    QStringList taken;
    taken.swap(notices);
    return taken;
}

QString InstrumentConnection::timeoutText()
{
    return tr("%1 s").arg(timeoutMs / 1000.0);
}

QString InstrumentConnection::shownReply(const QByteArray &reply)
{
    QString shown = QString::fromUtf8(reply).simplified();
    if (shown.size() > 40)
        shown = shown.left(40) + QChar(0x2026);
    return shown.isEmpty() ? tr("(empty reply)") : shown;
}

InstrumentFailure InstrumentConnection::replyFailure(const QString &message)
{
    InstrumentFailure failure;
    failure.kind = InstrumentFailure::Kind::Reply;
    failure.text = message;
    failure.reason = message;
    return failure;
}

std::optional<QByteArray> InstrumentConnection::oneLine(const QByteArray &reply,
                                                        const QByteArray &query)
{
    const int end = reply.indexOf('\n');
    if (end < 0 || end + 1 == reply.size())
        return reply;
    failExtra(query, reply);
    return std::nullopt;
}

bool InstrumentConnection::failExtra(const QByteArray &query, const QByteArray &bytes)
{
    fail(QString());
    lastFailure = replyFailure(tr("The analyser sent more than one reply to %1: %2")
                                   .arg(QString::fromLatin1(query), shownReply(bytes)));
    return false;
}

qint64 InstrumentConnection::now()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

QString InstrumentConnection::systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool InstrumentConnection::waitFor(int descriptor, short events, qint64 deadline)
{
    for (;;) {
        const qint64 left = deadline - now();
        if (left <= 0) {
            errno = 0;
            return false;
        }
        pollfd entry = {descriptor, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool InstrumentConnection::writeLine(int descriptor, const QByteArray &command,
                                     const QString &where,
                                     const std::function<ssize_t(const char *, size_t)> &transfer)
{
    const QByteArray line = command + '\n';
    const QString text = QString::fromLatin1(command);
    const qint64 deadline = now() + timeoutMs;
    int written = 0;
    while (written < line.size()) {
        const ssize_t count =
            transfer(line.constData() + written, static_cast<size_t>(line.size() - written));
        if (count > 0) {
            written += static_cast<int>(count);
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (waitFor(descriptor, POLLOUT, deadline))
                continue;
            if (errno == 0)
                return fail(tr("Could not send %1 to %2 within %3").arg(text, where, timeoutText()),
                            tr("Could not send %1 within %2").arg(text, timeoutText()));
        }
        // A transfer that took nothing set no errno: what errno holds is some earlier error.
        const QString why = count == 0 ? tr("no byte was taken") : systemError(errno);
        return fail(tr("Could not send %1 to %2: %3").arg(text, where, why),
                    tr("Could not send %1").arg(text));
    }
    return true;
}
