#ifndef GPIBCONNECTION_H
#define GPIBCONNECTION_H

#include "instrument/instrumentconnection.h"

class GpibDriver;

// A connection to the analyser at one primary address on board 0 through an NI-488.2 driver:
// ibdev with a 1-second time-out and EOI on the last byte of every write, ibclr, ibwrt without
// terminator, ibrd into a 1024-byte buffer, ibonl to close. A failed call is recorded with the
// driver's status words, fetched on the thread that made the call.
class GpibConnection : public InstrumentConnection
{
public:
    GpibConnection(GpibDriver *driver, int address);
    ~GpibConnection() override;

    bool open() override;
    bool clear() override;
    bool write(const QByteArray &command) override;
    std::optional<QByteArray> read() override;
    void close() override;
    bool asksIdentity() const override { return false; }

private:
    // Records the failure of the driver call that message names, with the driver's status and
    // its plain meaning where the status tells one; closes the connection and returns false.
    bool report(const QString &message);

    GpibDriver *driver;
    int address;
    int device = 0;
};

#endif // GPIBCONNECTION_H
