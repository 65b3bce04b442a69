#ifndef FAKEGPIB_H
#define FAKEGPIB_H

#include "fakegpibscript.h"
#include "instrument/gpibdriver.h"

// The scriptable fake as an in-process driver, to install with GpibDriver::setCurrent.
class FakeGpib : public GpibDriver
{
public:
    FakeGpibScript script;

    QString name() const override { return QStringLiteral("fake"); }
    int ibdev(int boardIndex, int primaryAddress, int secondaryAddress, int timeout, int sendEoi,
              int eosMode) override
    {
        return script.ibdev(boardIndex, primaryAddress, secondaryAddress, timeout, sendEoi,
                            eosMode);
    }
    int ibclr(int device) override { return script.ibclr(device); }
    int ibwrt(int device, const void *data, long count) override
    {
        return script.ibwrt(device, data, count);
    }
    int ibrd(int device, void *buffer, long count) override
    {
        return script.ibrd(device, buffer, count);
    }
    int ibonl(int device, int online) override { return script.ibonl(device, online); }
    int ThreadIbsta() override { return script.ThreadIbsta(); }
    int ThreadIberr() override { return script.ThreadIberr(); }
    int ThreadIbcnt() override { return script.ThreadIbcnt(); }
};

#endif // FAKEGPIB_H
