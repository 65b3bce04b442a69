#ifndef FAKEGPIBSCRIPT_H
#define FAKEGPIBSCRIPT_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QVector>

// A scriptable stand-in for the GPIB driver and the instrument behind it. It records every
// transfer call, answers queries with scripted reply bytes and fails the calls it is told to
// fail with a chosen status. Without a scripted reply a read times out, as on the bus.
class FakeGpibScript
{
public:
    struct Status
    {
        int ibsta;
        int iberr;
        int ibcnt;
    };
    static constexpr int CMPL = 0x0100;
    static constexpr int END = 0x2000;
    static constexpr int TMO = 0x4000;
    static constexpr int ERR = 0x8000;
    static constexpr int EDVR = 0;
    static constexpr int EABO = 6;

    FakeGpibScript();

    // Forgets the calls, the scripted replies and failures; the clock starts again.
    void reset();

    // ibdev fails (returns -1) with status the next times calls (-1: always).
    void failIbdev(Status status, int times = -1);
    // ibclr raises ERR with status the next times calls.
    void failIbclr(Status status, int times = -1);
    // A write of command (empty: of any command) raises ERR with status the next times calls,
    // after skip writes of it that succeed.
    void failWrite(const QByteArray &command, Status status, int times = -1, int skip = 0);
    // The next write of query makes reply the bytes that the following reads return.
    void answer(const QByteArray &query, const QByteArray &reply);
    // Makes every read report count bytes in ibcnt whatever it transferred (a faulty driver).
    void reportReadCount(int count)
    {
        forceReadCount = true;
        forcedReadCount = count;
    }

    // The calls so far, safe to read while another thread makes calls.
    QStringList callsSoFar() const;
    // Every read waits this long before it answers (a slow bus).
    int readDelayMs = 0;

    // The transfer calls so far, e.g. "ibdev(0, 21, 0, 11, 1, 0)", "ibclr(17)",
    // "ibwrt(17, CALC:MARK:X?, 12)", "ibrd(17, 1024)", "ibonl(17, 0)".
    QStringList calls;
    // Milliseconds since the last reset at which each entry of calls was made.
    QVector<qint64> callTimes;
    // Calls made with a descriptor that was not open.
    int misuses = 0;
    // The descriptor that ibdev hands out.
    int descriptor = 17;
    // Replies still scripted, per query.
    QMap<QByteArray, QList<QByteArray>> replies;

    int ibdev(int boardIndex, int primaryAddress, int secondaryAddress, int timeout, int sendEoi,
              int eosMode);
    int ibclr(int device);
    int ibwrt(int device, const void *data, long count);
    int ibrd(int device, void *buffer, long count);
    int ibonl(int device, int online);
    int ThreadIbsta() const { return status.ibsta; }
    int ThreadIberr() const { return status.iberr; }
    int ThreadIbcnt() const { return status.ibcnt; }

private:
    struct Failure
    {
        QByteArray command;
        Status status;
        int times;
        int skip = 0;
    };

    void record(const QString &call);
    bool checkOpen(int device);
    static bool take(QList<Failure> &failures, const QByteArray &command, Status *status);

    Status status = {0, 0, 0};
    bool open = false;
    QByteArray pending;
    bool forceReadCount = false;
    int forcedReadCount = 0;
    QList<Failure> ibdevFailures;
    QList<Failure> ibclrFailures;
    QList<Failure> writeFailures;
    QElapsedTimer clock;
};

#endif // FAKEGPIBSCRIPT_H
