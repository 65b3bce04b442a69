#ifndef SCPISOCKETCONNECTION_H
#define SCPISOCKETCONNECTION_H

#include "instrument/instrumentconnection.h"

// SCPI over a raw TCP socket (port 5025 by default), one connection per operation. Each command
// goes out with a line feed at its end; a reply is the bytes that came up to and including a line
// feed, at most 1024 (more than one line is an error the caller sees). The host lookup, the
// connect, every write and every read are each bounded by the 1-second time-out.
class ScpiSocketConnection : public InstrumentConnection
{
public:
    explicit ScpiSocketConnection(const InstrumentAddress &address);
    ~ScpiSocketConnection() override;

    bool open() override;
    bool clear() override;
    bool write(const QByteArray &command) override;
    std::optional<QByteArray> read() override;
    void close() override;

private:
    InstrumentAddress address;
    QString where;
    int socket = -1;
    QByteArray lastCommand;
    QByteArray pending; // the bytes of the reply being read
};

#endif // SCPISOCKETCONNECTION_H
