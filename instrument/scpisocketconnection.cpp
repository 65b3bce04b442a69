#include "instrument/scpisocketconnection.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "instrument/hostlookup.h"

ScpiSocketConnection::ScpiSocketConnection(const InstrumentAddress &address)
    : address(address), where(address.where())
{
}

ScpiSocketConnection::~ScpiSocketConnection()
{
    close();
}

// Looks the host up and connects to its first address that takes the connection, all within
// the one time-out.
bool ScpiSocketConnection::open()
{
    if (opened)
        return true;
    const qint64 deadline = now() + timeoutMs;
    QString error;
    const std::vector<HostLookup::Address> addresses =
        HostLookup::resolve(address.host, address.port, timeoutMs, &error);
    if (addresses.empty())
        return fail(tr("Could not find the host %1: %2").arg(address.host, error),
                    tr("Host not found"));

    for (const HostLookup::Address &target : addresses) {
        socket = ::socket(target.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (socket < 0) {
            error = systemError(errno);
            continue;
        }
        int result =
            ::connect(socket, reinterpret_cast<const sockaddr *>(&target.storage), target.length);
        if (result < 0 && errno == EINPROGRESS) {
            if (waitFor(socket, POLLOUT, deadline)) {
                socklen_t length = sizeof result;
                if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &result, &length) < 0)
                    result = errno;
                errno = result;
                result = result == 0 ? 0 : -1;
            } else if (errno == 0) {
                ::close(socket);
                socket = -1;
                return fail(tr("Could not connect to %1 within %2").arg(where, timeoutText()),
                            tr("Could not connect within %1").arg(timeoutText()));
            } else {
                result = -1;
            }
        }
        if (result == 0) {
            opened = true;
            pending.clear();
            return true;
        }
        error = systemError(errno);
        ::close(socket);
        socket = -1;
    }
    return fail(tr("Could not connect to %1: %2").arg(where, error), tr("Could not connect"));
}

// A new connection has nothing pending: there is nothing to clear.
bool ScpiSocketConnection::clear()
{
    return opened;
}

// Bytes that came after the last reply belong to no question: they are an error of this
// operation, never the answer to the next command.
bool ScpiSocketConnection::write(const QByteArray &command)
{
    if (!opened)
        return false;
    char buffer[replySize];
    const ssize_t count = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
    if (count > 0)
        return failExtra(lastCommand, QByteArray(buffer, static_cast<int>(count)));
    lastCommand = command;
    return writeLine(socket, command, where, [this](const char *bytes, size_t length) {
        return ::send(socket, bytes, length, MSG_NOSIGNAL);
    });
}

std::optional<QByteArray> ScpiSocketConnection::read()
{
    if (!opened)
        return std::nullopt;
    const qint64 deadline = now() + timeoutMs;
    const QString query = QString::fromLatin1(lastCommand);
    for (;;) {
        // Everything that came is handed over, bytes after the line feed included: they are
        // no answer to the next question.
        if (pending.contains('\n') || pending.size() >= replySize) {
            QByteArray reply;
            reply.swap(pending);
            return oneLine(reply, lastCommand);
        }
        char buffer[replySize];
        const ssize_t count =
            ::recv(socket, buffer, static_cast<size_t>(replySize - pending.size()), 0);
        if (count > 0) {
            pending.append(buffer, static_cast<int>(count));
            continue;
        }
        if (count == 0) {
            fail(tr("%1 closed the connection before replying to %2").arg(where, query),
                 tr("The analyser closed the connection"));
            return std::nullopt;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            if (waitFor(socket, POLLIN, deadline))
                continue;
            if (errno == 0) {
                fail(tr("No reply from %1 within %2 to %3").arg(where, timeoutText(), query),
                     tr("No reply to %1 within %2").arg(query, timeoutText()));
                return std::nullopt;
            }
        }
        fail(tr("Could not read the reply of %1 to %2: %3").arg(where, query, systemError(errno)),
             tr("Could not read the reply to %1").arg(query));
        return std::nullopt;
    }
}

void ScpiSocketConnection::close()
{
    if (socket >= 0)
        ::close(socket);
    socket = -1;
    opened = false;
}
