// The scriptable fake as a driver library exporting the eight C functions of an NI-488.2
// driver, for loading through the program's own loader. fakeGpibScript() hands the script to
// the test that loaded the library. Built with FAKEGPIB_WITHOUT_THREADIBCNT it lacks
// ThreadIbcnt, as older driver releases do.
#include "fakegpibscript.h"

#define FAKEGPIB_EXPORT extern "C" __attribute__((visibility("default")))

static FakeGpibScript &script()
{
    static FakeGpibScript instance;
    return instance;
}

FAKEGPIB_EXPORT FakeGpibScript *fakeGpibScript()
{
    return &script();
}

FAKEGPIB_EXPORT int ibdev(int boardIndex, int primaryAddress, int secondaryAddress, int timeout,
                          int sendEoi, int eosMode)
{
    return script().ibdev(boardIndex, primaryAddress, secondaryAddress, timeout, sendEoi, eosMode);
}

FAKEGPIB_EXPORT int ibclr(int device)
{
    return script().ibclr(device);
}

FAKEGPIB_EXPORT int ibwrt(int device, const void *data, long count)
{
    return script().ibwrt(device, data, count);
}

FAKEGPIB_EXPORT int ibrd(int device, void *buffer, long count)
{
    return script().ibrd(device, buffer, count);
}

FAKEGPIB_EXPORT int ibonl(int device, int online)
{
    return script().ibonl(device, online);
}

FAKEGPIB_EXPORT int ThreadIbsta(void)
{
    return script().ThreadIbsta();
}

FAKEGPIB_EXPORT int ThreadIberr(void)
{
    return script().ThreadIberr();
}

#ifndef FAKEGPIB_WITHOUT_THREADIBCNT
FAKEGPIB_EXPORT int ThreadIbcnt(void)
{
    return script().ThreadIbcnt();
}
#endif
