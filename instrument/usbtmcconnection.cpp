#include "instrument/usbtmcconnection.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The status byte's Message Available bit: a reply waits in the device.
constexpr unsigned char messageAvailable = 0x10;

// Why a file of this mode is no USB-TMC device, empty for a character device.
QString refusedMode(const QString &path, mode_t mode)
{
    if (S_ISCHR(mode))
        return QString();
    const QString kind = S_ISREG(mode)   ? InstrumentConnection::tr("a file")
                         : S_ISDIR(mode) ? InstrumentConnection::tr("a folder")
                         : S_ISBLK(mode) ? InstrumentConnection::tr("a block device")
                                         : InstrumentConnection::tr("no character device");
    return InstrumentConnection::tr(
               "%1 is %2, not a USB-TMC device: type the device file, for example /dev/usbtmc0")
        .arg(path, kind);
}

} // namespace

UsbTmcConnection::UsbTmcConnection(const QString &path) : path(path) {}

UsbTmcConnection::~UsbTmcConnection()
{
    close();
}

QString UsbTmcConnection::refusal(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) < 0)
        return QString();
    return refusedMode(path, status.st_mode);
}

// Opens the device file, having made sure it is a character device: opening a data file
// read-write and writing commands to it would overwrite the data.
bool UsbTmcConnection::open()
{
    if (opened)
        return true;
    const QString refused = refusal(path);
    if (!refused.isEmpty())
        return fail(refused, tr("Not a device file"));
    file = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0)
        return fail(tr("Could not open %1: %2").arg(path, systemError(errno)),
                    tr("Could not open the device"));
    opened = true;
    struct stat status;
    if (::fstat(file, &status) < 0)
        return fail(tr("Could not open %1: %2").arg(path, systemError(errno)),
                    tr("Could not open the device"));
    if (!S_ISCHR(status.st_mode))
        return fail(refusedMode(path, status.st_mode), tr("Not a device file"));
    unsigned int timeout = timeoutMs;
    usbtmcDriver = ::ioctl(file, USBTMC_IOCTL_SET_TIMEOUT, &timeout) == 0;
    if (!usbtmcDriver && errno != ENOTTY)
        return failIoctl(tr("set the time-out of"), errno);
    return true;
}

bool UsbTmcConnection::failIoctl(const QString &what, int error)
{
    return fail(tr("Could not %1 %2: %3").arg(what, path, systemError(error)),
                tr("Could not %1 the device").arg(what));
}

// Clears the device through the driver; a device without it is cleared by reading what it
// has pending.
bool UsbTmcConnection::clear()
{
    if (!opened)
        return false;
    if (!usbtmcDriver)
        return discardPending();
    if (::ioctl(file, USBTMC_IOCTL_CLEAR) < 0)
        return failIoctl(tr("clear"), errno);
    return true;
}

// A reply that came after its time-out waits in the device and would answer the next
// question: it is read and dropped before each command, and the user hears of it. The driver
// tells through the status byte whether a reply waits; a device that cannot tell is cleared.
// Without the driver, whatever can be read at once is pending.
bool UsbTmcConnection::discardPending()
{
    QByteArray late;
    if (usbtmcDriver) {
        unsigned char status = 0;
        const bool known = ::ioctl(file, USBTMC488_IOCTL_READ_STB, &status) == 0;
        if (known && !(status & messageAvailable))
            return true;
        if (known) {
            char buffer[replySize];
            const ssize_t count = ::read(file, buffer, sizeof buffer);
            if (count > 0)
                late = QByteArray(buffer, static_cast<int>(count));
        }
        // Whatever the read left behind, or a device that cannot tell, is cleared.
        if (::ioctl(file, USBTMC_IOCTL_CLEAR) < 0)
            return failIoctl(tr("clear"), errno);
    } else {
        pollfd entry = {file, POLLIN, 0};
        while (::poll(&entry, 1, 0) > 0) {
            char buffer[replySize];
            const ssize_t count = ::read(file, buffer, sizeof buffer);
            if (count > 0)
                late.append(buffer, static_cast<int>(count));
            else if (count == 0 || errno != EINTR)
                break;
        }
    }
    if (!late.isEmpty())
        notices << tr("A late reply from %1 was discarded: %2").arg(path, shownReply(late));
    return true;
}

bool UsbTmcConnection::write(const QByteArray &command)
{
    if (!opened || !discardPending())
        return false;
    lastCommand = command;
    return writeLine(file, command, path, [this](const char *bytes, size_t length) {
        return ::write(file, bytes, length);
    });
}

// Reads until a line feed or 1024 bytes have come. The usbtmc driver hands over one whole
// reply per read and ends a read that finds none with its own time-out (ETIMEDOUT); a device
// that delivers bytes as they come (a terminal standing in) is waited for with poll(). Bytes
// after the line feed are handed over too: they are no answer to the next question.
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
            if (reply.contains('\n') || reply.size() >= replySize)
                return oneLine(reply, lastCommand);
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
            fail(tr("No reply from %1 within %2 to %3").arg(path, timeoutText(), query),
                 tr("No reply to %1 within %2").arg(query, timeoutText()));
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
