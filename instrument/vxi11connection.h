#ifndef VXI11CONNECTION_H
#define VXI11CONNECTION_H

#include "instrument/instrumentconnection.h"

// An analyser on the LAN over VXI-11, through liblxi: a link to the device (inst0 unless the
// address names another) for each operation, commands sent with a line feed at their end, a
// reply read whole, at most 1024 bytes. The host lookup, the link and every transfer are each
// bounded by the 1-second time-out.
class Vxi11Connection : public InstrumentConnection
{
public:
    explicit Vxi11Connection(const InstrumentAddress &address);
    ~Vxi11Connection() override;

    bool open() override;
    bool clear() override;
    bool write(const QByteArray &command) override;
    std::optional<QByteArray> read() override;
    void close() override;

private:
    InstrumentAddress address;
    QString where;
    int device = -1;
    QByteArray lastCommand;
};

#endif // VXI11CONNECTION_H
