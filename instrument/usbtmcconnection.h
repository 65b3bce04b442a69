#ifndef USBTMCCONNECTION_H
#define USBTMCCONNECTION_H

#include "instrument/instrumentconnection.h"

// An analyser on USB through the kernel's usbtmc driver: the device file (/dev/usbtmc0, ...)
// is opened for each operation, a command is written with a line feed at its end, and a reply is
// read up to its line feed, at most 1024 bytes. Only a character device is opened: a regular
// file, a folder or a block device typed as the address is refused before anything is written.
// The driver's own time-out is set to the 1-second time-out and poll() bounds every transfer by
// it as well. A character device that is not the usbtmc driver (a terminal standing in) refuses
// the driver's ioctls with ENOTTY and is used without them; any other failure of an ioctl is an
// error.
class UsbTmcConnection : public InstrumentConnection
{
public:
    explicit UsbTmcConnection(const QString &path);
    ~UsbTmcConnection() override;

    // Why path cannot be a USB-TMC device (it exists and is no character device), empty when it
    // can be or does not exist.
    static QString refusal(const QString &path);

    bool open() override;
    bool clear() override;
    bool write(const QByteArray &command) override;
    std::optional<QByteArray> read() override;
    void close() override;

private:
    bool discardPending();
    bool failIoctl(const QString &what, int error);

    QString path;
    int file = -1;
    bool usbtmcDriver = false;
    QByteArray lastCommand;
};

#endif // USBTMCCONNECTION_H
