#ifndef GPIBDRIVER_H
#define GPIBDRIVER_H

#include <QString>

#include <memory>

// The eight calls of an NI-488.2 GPIB driver, named and typed after the C functions of the
// driver library. GpibConnection talks to the analyser only through the process-wide driver that
// current() returns: a loaded driver library, or the simulated analyser where there is none.
class GpibDriver
{
public:
    // Bits of the status word ibsta.
    static constexpr int ERR = 0x8000;
    static constexpr int TMO = 0x4000;
    static constexpr int END = 0x2000;
    static constexpr int CMPL = 0x0100;

    // Error codes in iberr.
    static constexpr int EDVR = 0;
    static constexpr int ENOL = 2;
    static constexpr int EARG = 4;
    static constexpr int EABO = 6;
    static constexpr int ENEB = 7;

    virtual ~GpibDriver();

    // The name that the start-up debug line gives this driver.
    virtual QString name() const = 0;

    // Whether this driver is the simulated analyser rather than a real bus, and why it stands
    // in for one; the window says so for as long as it is in use.
    virtual bool isSimulated() const { return false; }
    virtual QString simulationReason() const { return QString(); }

    virtual int ibdev(int boardIndex, int primaryAddress, int secondaryAddress, int timeout,
                      int sendEoi, int eosMode) = 0;
    virtual int ibclr(int device) = 0;
    virtual int ibwrt(int device, const void *data, long count) = 0;
    virtual int ibrd(int device, void *buffer, long count) = 0;
    virtual int ibonl(int device, int online) = 0;
    virtual int ThreadIbsta() = 0;
    virtual int ThreadIberr() = 0;
    virtual int ThreadIbcnt() = 0;

    // The driver in use. The first call picks it: the system's GPIB library if it loads with
    // all eight calls, else the simulated analyser.
    static GpibDriver *current();

    // Puts driver in place of the one picked at start-up, without taking ownership; nullptr
    // returns to the start-up driver. Called before an operation starts, never during one.
    static void setCurrent(GpibDriver *driver);

    // The simulated analyser the "Simulated analyser" interface talks to: the driver in use
    // when that is the simulated analyser, else one of its own for the whole program.
    static GpibDriver *simulated();

    // Loads a GPIB library by file name (majorVersion < 0: no version suffix) and falls back
    // to a simulated analyser when it is missing, does not load or lacks one of the eight
    // calls; the simulated analyser then carries the reason. Writes one debug line naming the
    // driver it returns.
    static std::unique_ptr<GpibDriver> load(const QString &fileName, int majorVersion = -1);

    // The names of the bits set in ibsta, each followed by one blank, most significant first.
    static QString statusNames(int ibsta);

    // The name of the error code iberr, empty for codes without a name.
    static QString errorName(int iberr);
};

#endif // GPIBDRIVER_H
