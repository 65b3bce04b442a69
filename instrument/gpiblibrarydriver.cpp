#include "instrument/gpiblibrarydriver.h"

#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

namespace {

// Looks symbol up and notes its name in missing when the library lacks it.
template <typename Function>
void resolve(QLibrary &library, const char *symbol, Function &function, QStringList &missing)
{
    function = reinterpret_cast<Function>(library.resolve(symbol));
    if (!function)
        missing << QLatin1String(symbol);
}

} // namespace

std::unique_ptr<GpibLibraryDriver> GpibLibraryDriver::load(const QString &fileName,
                                                           int majorVersion, QString *missing)
{
    QLibrary library;
    if (majorVersion < 0)
        library.setFileName(fileName);
    else
        library.setFileNameAndVersion(fileName, majorVersion);
    if (!library.load())
        return nullptr;

    std::unique_ptr<GpibLibraryDriver> driver(new GpibLibraryDriver);
    driver->fileName = QFileInfo(library.fileName()).fileName();
    QStringList absent;
    resolve(library, "ibdev", driver->ibdevFunction, absent);
    resolve(library, "ibclr", driver->ibclrFunction, absent);
    resolve(library, "ibwrt", driver->ibwrtFunction, absent);
    resolve(library, "ibrd", driver->ibrdFunction, absent);
    resolve(library, "ibonl", driver->ibonlFunction, absent);
    resolve(library, "ThreadIbsta", driver->threadIbstaFunction, absent);
    resolve(library, "ThreadIberr", driver->threadIberrFunction, absent);
    resolve(library, "ThreadIbcnt", driver->threadIbcntFunction, absent);
    if (!absent.isEmpty()) {
        if (missing)
            *missing = QStringLiteral("%1 lacks %2").arg(driver->fileName, absent.join(", "));
        library.unload();
        return nullptr;
    }
    // The library stays loaded for the rest of the process: QLibrary never unloads by itself.
    return driver;
}

QString GpibLibraryDriver::name() const
{
    return QStringLiteral("NI-488.2 library %1").arg(fileName);
}

int GpibLibraryDriver::ibdev(int boardIndex, int primaryAddress, int secondaryAddress, int timeout,
                             int sendEoi, int eosMode)
{
    return ibdevFunction(boardIndex, primaryAddress, secondaryAddress, timeout, sendEoi, eosMode);
}

int GpibLibraryDriver::ibclr(int device)
{
    return ibclrFunction(device);
}

int GpibLibraryDriver::ibwrt(int device, const void *data, long count)
{
    return ibwrtFunction(device, data, count);
}

int GpibLibraryDriver::ibrd(int device, void *buffer, long count)
{
    return ibrdFunction(device, buffer, count);
}

int GpibLibraryDriver::ibonl(int device, int online)
{
    return ibonlFunction(device, online);
}

int GpibLibraryDriver::ThreadIbsta()
{
    return threadIbstaFunction();
}

int GpibLibraryDriver::ThreadIberr()
{
    return threadIberrFunction();
}

int GpibLibraryDriver::ThreadIbcnt()
{
    return threadIbcntFunction();
}
