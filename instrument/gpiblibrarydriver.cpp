#include "instrument/gpiblibrarydriver.h"

#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <cstring>

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

// The file name the system loader looks for: "gpib" with version 0 is libgpib.so.0.
static QString loaderFileName(const QString &fileName, int majorVersion)
{
    QString name = QFileInfo(fileName).fileName();
#ifndef Q_OS_WIN
    if (!name.startsWith(QLatin1String("lib")))
        name.prepend(QLatin1String("lib"));
    if (!name.contains(QLatin1String(".so")))
        name += QLatin1String(".so");
    if (majorVersion >= 0)
        name += QStringLiteral(".%1").arg(majorVersion);
#else
    Q_UNUSED(majorVersion);
#endif
    return name;
}

// Whether the loader's message says that the library itself was not found, rather than a
// library it needs or a file that is no library: the loader then names a file it could not
// open, and that file is one of the names tried for the library.
static bool libraryNotFound(const QString &message, const QString &fileName)
{
    QString stem = QFileInfo(fileName).fileName();
    if (stem.startsWith(QLatin1String("lib")))
        stem.remove(0, 3);
    stem = stem.section(QLatin1Char('.'), 0, 0);
    // The loader writes "<file>: cannot open shared object file: <the system's text for
    // ENOENT>", both texts in the language of the user.
    static const QRegularExpression notOpened(
        QStringLiteral("([^\\s(]+): [^:]+: ") +
        QRegularExpression::escape(QString::fromLocal8Bit(std::strerror(ENOENT))));
    QRegularExpressionMatchIterator match = notOpened.globalMatch(message);
    while (match.hasNext()) {
        if (QFileInfo(match.next().captured(1)).fileName().contains(stem))
            return true;
    }
    return false;
}

std::unique_ptr<GpibLibraryDriver> GpibLibraryDriver::load(const QString &fileName,
                                                           int majorVersion, Failure *failure)
{
    QLibrary library;
    if (majorVersion < 0)
        library.setFileName(fileName);
    else
        library.setFileNameAndVersion(fileName, majorVersion);
    if (!library.load()) {
        // The loader names the file it could not open: the library itself when it is not
        // there, or a library it needs.
        const QString name = loaderFileName(fileName, majorVersion);
        const QString message = library.errorString();
        if (libraryNotFound(message, fileName))
            failure->reason = QStringLiteral("No %1 found").arg(name);
        else
            failure->reason = QStringLiteral("%1 could not be loaded: %2").arg(name, message);
        return nullptr;
    }

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
        failure->missingFunctions = absent;
        failure->reason = QStringLiteral("%1 lacks %2").arg(driver->fileName, absent.join(", "));
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
