#include "instrument/gpibdriver.h"

#include <QDebug>

#include <atomic>

#include "instrument/gpiblibrarydriver.h"
#include "instrument/simulatedanalyser.h"

namespace {

// The driver found as the program starts, loaded once whichever thread asks first.
GpibDriver *startupDriver()
{
    static const std::unique_ptr<GpibDriver> driver =
#ifdef Q_OS_WIN
        GpibDriver::load(QStringLiteral("gpib-32"));
#else
        GpibDriver::load(QStringLiteral("gpib"), 0);
#endif
    return driver.get();
}

// A driver put in place of it (tests); read by the instrument's thread, so atomic.
std::atomic<GpibDriver *> installedDriver{nullptr};

} // namespace

GpibDriver::~GpibDriver() = default;

GpibDriver *GpibDriver::current()
{
    if (GpibDriver *installed = installedDriver.load())
        return installed;
    return startupDriver();
}

void GpibDriver::setCurrent(GpibDriver *driver)
{
    installedDriver = driver;
}

GpibDriver *GpibDriver::simulated()
{
    GpibDriver *driver = current();
    if (driver->isSimulated())
        return driver;
    static SimulatedAnalyser analyser(SimulatedAnalyser::defaultSeed,
                                      QStringLiteral("Chosen in the Interface field"));
    return &analyser;
}

std::unique_ptr<GpibDriver> GpibDriver::load(const QString &fileName, int majorVersion)
{
    GpibLibraryDriver::Failure failure;
    std::unique_ptr<GpibDriver> driver = GpibLibraryDriver::load(fileName, majorVersion, &failure);
    QString line = QStringLiteral("GPIB driver: ");
    if (driver) {
        line += driver->name();
    } else {
        driver =
            std::make_unique<SimulatedAnalyser>(SimulatedAnalyser::defaultSeed, failure.reason);
        line += driver->name();
        if (!failure.missingFunctions.isEmpty())
            line += QStringLiteral(" (%1)").arg(failure.reason);
    }
    qDebug().noquote() << line;
    return driver;
}

QString GpibDriver::statusNames(int ibsta)
{
    static const struct
    {
        int bit;
        const char *name;
    } bits[] = {{0x8000, "ERR"},  {0x4000, "TMO"},  {0x2000, "END"},  {0x1000, "SRQI"},
                {0x0800, "RQS"},  {0x0100, "CMPL"}, {0x0080, "LOK"},  {0x0040, "REM"},
                {0x0020, "CIC"},  {0x0010, "ATN"},  {0x0008, "TACS"}, {0x0004, "LACS"},
                {0x0002, "DTAS"}, {0x0001, "DCAS"}};
    QString names;
    for (const auto &bit : bits) {
        if (ibsta & bit.bit)
            names += QLatin1String(bit.name) + QLatin1Char(' ');
    }
    return names;
}

QString GpibDriver::errorName(int iberr)
{
    switch (iberr) {
    case 1:
        return QStringLiteral("ECIC");
    case 2:
        return QStringLiteral("ENOL");
    case 3:
        return QStringLiteral("EADR");
    case 4:
        return QStringLiteral("EARG");
    case 5:
        return QStringLiteral("ESAC");
    case 6:
        return QStringLiteral("EABO");
    case 7:
        return QStringLiteral("ENEB");
    case 8:
        return QStringLiteral("EDMA");
    case 10:
        return QStringLiteral("EOIP");
    case 11:
        return QStringLiteral("ECAP");
    case 12:
        return QStringLiteral("EFSO");
    case 14:
        return QStringLiteral("EBUS");
    case 15:
        return QStringLiteral("ESTB");
    case 16:
        return QStringLiteral("ESRQ");
    case 20:
        return QStringLiteral("ETAB");
    default:
        return QString();
    }
}
