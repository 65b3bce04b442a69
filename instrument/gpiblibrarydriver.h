#ifndef GPIBLIBRARYDRIVER_H
#define GPIBLIBRARYDRIVER_H

#include <QString>

#include <memory>

#include "instrument/gpibdriver.h"

#ifdef _WIN32
#define GPIB_CALL __stdcall
#else
#define GPIB_CALL
#endif

// A GPIB driver library loaded at run time (linux-gpib's libgpib.so.0, or any library that
// exports the same eight NI-488.2 functions). Every call goes straight to the library.
class GpibLibraryDriver : public GpibDriver
{
public:
    // Loads fileName (with the major version as the library suffix when it is not negative)
    // and resolves all eight functions. Returns null when the library does not load or lacks
    // one of them; then *missing tells which ones, or stays empty when nothing was found.
    static std::unique_ptr<GpibLibraryDriver> load(const QString &fileName, int majorVersion,
                                                   QString *missing);

    QString name() const override;
    int ibdev(int boardIndex, int primaryAddress, int secondaryAddress, int timeout, int sendEoi,
              int eosMode) override;
    int ibclr(int device) override;
    int ibwrt(int device, const void *data, long count) override;
    int ibrd(int device, void *buffer, long count) override;
    int ibonl(int device, int online) override;
    int ThreadIbsta() override;
    int ThreadIberr() override;
    int ThreadIbcnt() override;

private:
    GpibLibraryDriver() = default;

    QString fileName;
    int(GPIB_CALL *ibdevFunction)(int, int, int, int, int, int) = nullptr;
    int(GPIB_CALL *ibclrFunction)(int) = nullptr;
    int(GPIB_CALL *ibwrtFunction)(int, const void *, long) = nullptr;
    int(GPIB_CALL *ibrdFunction)(int, void *, long) = nullptr;
    int(GPIB_CALL *ibonlFunction)(int, int) = nullptr;
    int(GPIB_CALL *threadIbstaFunction)(void) = nullptr;
    int(GPIB_CALL *threadIberrFunction)(void) = nullptr;
    int(GPIB_CALL *threadIbcntFunction)(void) = nullptr;
};

#endif // GPIBLIBRARYDRIVER_H
