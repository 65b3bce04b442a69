#ifndef GPIBLIBRARYDRIVER_H
#define GPIBLIBRARYDRIVER_H

#include <QString>
#include <QStringList>

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
    // Why a library could not serve as the driver.
    struct Failure
    {
        // A sentence for the user: the library was not found, could not be loaded (with the
        // loader's message), or lacks the functions named.
        QString reason;
        // The functions the library lacks, empty when it did not load at all.
        QStringList missingFunctions;
    };

    // Loads fileName (with the major version as the library suffix when it is not negative)
    // and resolves all eight functions. Returns null when the library does not load or lacks
    // one of them, and then tells why in *failure.
    static std::unique_ptr<GpibLibraryDriver> load(const QString &fileName, int majorVersion,
                                                   Failure *failure);

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
