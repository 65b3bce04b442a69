#ifndef USBTMCCONNECTION_H
#define USBTMCCONNECTION_H

#include "instrument/instrumentconnection.h"

// An analyser on USB through the kernel's usbtmc driver: the device file (/dev/usbtmc0, ...)
// is opened for each operation, a command is written with a line feed at its end, and a reply is
// read up to its line feed, at most 1024 bytes. The driver's own time-out is set to the
// 1-second time-out and poll() bounds every transfer by it as well. The driver's ioctls (the
// time-out, the device clear) are a help, not a need: one that fails is not an error.
class UsbTmcConnection : public InstrumentConnection
{
public:
    explicit UsbTmcConnection(const QString &path);
    ~UsbTmcConnection() override;

    bool open() override;
    bool clear() override;
    bool write(const QByteArray &command) override;
    std::optional<QByteArray> read() override;
    void close() override;

private:
    QString path;
    int file = -1;
    QByteArray lastCommand;
};

#endif // USBTMCCONNECTION_H
