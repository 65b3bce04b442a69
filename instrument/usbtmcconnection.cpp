#include "instrument/usbtmcconnection.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

UsbTmcConnection::UsbTmcConnection(const QString &path) : path(path) {}

UsbTmcConnection::~UsbTmcConnection()
{
    close();
}

bool UsbTmcConnection::open()
{
    if (opened)
        return true;
    file = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0)
        return fail(tr("Could not open %1: %2").arg(path, systemError(errno)),
                    tr("Could not open the device"));
    unsigned int timeout = timeoutMs;
    ioctl(file, USBTMC_IOCTL_SET_TIMEOUT, &timeout);
    opened = true;
    return true;
}

bool UsbTmcConnection::clear()
{
    if (!opened)
        return false;
    ioctl(file, USBTMC_IOCTL_CLEAR);
    return true;
}

bool UsbTmcConnection::write(const QByteArray &command)
{
    if (!opened)
        return false;
    lastCommand = command;
    return writeLine(file, command, path, [this](const char *bytes, size_t length) {
        return ::write(file, bytes, length);
    });
}

// Reads until a line feed or 1024 bytes have come. The usbtmc driver hands over one whole
// reply per read and ends a read that finds none with its own time-out (ETIMEDOUT); a device
// that delivers bytes as they come (a terminal standing in) is waited for with poll().
std::optional<QByteArray> UsbTmcConnection::read()
{
    if (!opened)
        return std::nullopt;
    const qint64 deadline = now() + timeoutMs;
    const QString query = QString::fromLatin1(lastCommand);
    QByteArray reply;
    for (;;) {
        char buffer[replySize];
        const ssize_t count = ::read(file, buffer, static_cast<size_t>(replySize - reply.size()));
        if (count > 0) {
            reply.append(buffer, static_cast<int>(count));
            const int end = reply.indexOf('\n');
            if (end >= 0)
                return reply.left(end + 1);
            if (reply.size() >= replySize)
                return reply;
            continue;
        }
        if (count == 0) {
            fail(tr("%1 closed before replying to %2").arg(path, query),
                 tr("The analyser closed the connection"));
            return std::nullopt;
        }
        int error = errno;
        if (error == EINTR)
            continue;
        if (error == EAGAIN) {
            if (waitFor(file, POLLIN, deadline))
                continue;
            error = errno == 0 ? ETIMEDOUT : errno;
        }
        if (error == ETIMEDOUT)
            fail(
                tr("No reply from %1 within %2 s to %3").arg(path).arg(timeoutMs / 1000).arg(query),
                tr("No reply to %1 within 1 s").arg(query));
        else
            fail(
                tr("Could not read the reply of %1 to %2: %3").arg(path, query, systemError(error)),
                tr("Could not read the reply to %1").arg(query));
        return std::nullopt;
    }
}

void UsbTmcConnection::close()
{
    if (file >= 0)
        ::close(file);
    file = -1;
    opened = false;
}
