#include "fakegpibscript.h"

#include <QMutex>
#include <QThread>

#include <algorithm>
#include <cstring>

// The program makes its calls on a thread of its own while a test may look at them.
static QMutex callsMutex;

FakeGpibScript::FakeGpibScript()
{
    clock.start();
}

void FakeGpibScript::reset()
{
    *this = FakeGpibScript();
}

void FakeGpibScript::failIbdev(Status failure, int times)
{
    ibdevFailures.append({QByteArray(), failure, times});
}

void FakeGpibScript::failIbclr(Status failure, int times)
{
    ibclrFailures.append({QByteArray(), failure, times});
}

void FakeGpibScript::failWrite(const QByteArray &command, Status failure, int times, int skip)
{
    writeFailures.append({command, failure, times, skip});
}

void FakeGpibScript::answer(const QByteArray &query, const QByteArray &reply)
{
    replies[query].append(reply);
}

void FakeGpibScript::record(const QString &call)
{
    QMutexLocker lock(&callsMutex);
    calls.append(call);
    callTimes.append(clock.elapsed());
}

QStringList FakeGpibScript::callsSoFar() const
{
    QMutexLocker lock(&callsMutex);
    return calls;
}

// Counts a call on a descriptor that is not open; the call then fails as the driver would.
bool FakeGpibScript::checkOpen(int device)
{
    if (open && device == descriptor)
        return true;
    ++misuses;
    status = {ERR | CMPL, EDVR, 0};
    return false;
}

// Finds the first failure that applies to command and uses it up once.
bool FakeGpibScript::take(QList<Failure> &failures, const QByteArray &command, Status *status)
{
    for (Failure &failure : failures) {
        if (failure.times == 0 || (!failure.command.isEmpty() && failure.command != command))
            continue;
        if (failure.skip > 0) {
            --failure.skip;
            return false;
        }
        if (failure.times > 0)
            --failure.times;
        *status = failure.status;
        return true;
    }
    return false;
}

int FakeGpibScript::ibdev(int boardIndex, int primaryAddress, int secondaryAddress, int timeout,
                          int sendEoi, int eosMode)
{
    record(QStringLiteral("ibdev(%1, %2, %3, %4, %5, %6)")
               .arg(boardIndex)
               .arg(primaryAddress)
               .arg(secondaryAddress)
               .arg(timeout)
               .arg(sendEoi)
               .arg(eosMode));
    if (take(ibdevFailures, QByteArray(), &status))
        return -1;
    if (open)
        ++misuses; // the program never holds two connections
    open = true;
    pending.clear();
    status = {CMPL, 0, 0};
    return descriptor;
}

int FakeGpibScript::ibclr(int device)
{
    record(QStringLiteral("ibclr(%1)").arg(device));
    if (!checkOpen(device))
        return status.ibsta;
    if (take(ibclrFailures, QByteArray(), &status))
        return status.ibsta;
    pending.clear();
    status = {CMPL, 0, 0};
    return status.ibsta;
}

int FakeGpibScript::ibwrt(int device, const void *data, long count)
{
    const QByteArray bytes(static_cast<const char *>(data), static_cast<int>(std::max(0L, count)));
    record(
        QStringLiteral("ibwrt(%1, %2, %3)").arg(device).arg(QString::fromLatin1(bytes)).arg(count));
    if (!checkOpen(device))
        return status.ibsta;
    if (take(writeFailures, bytes, &status))
        return status.ibsta;
    pending.clear();
    if (!replies.value(bytes).isEmpty())
        pending = replies[bytes].takeFirst();
    status = {CMPL, 0, static_cast<int>(count)};
    return status.ibsta;
}

int FakeGpibScript::ibrd(int device, void *buffer, long count)
{
    if (readDelayMs > 0)
        QThread::msleep(static_cast<unsigned long>(readDelayMs));
    record(QStringLiteral("ibrd(%1, %2)").arg(device).arg(count));
    if (!checkOpen(device))
        return status.ibsta;
    if (pending.isEmpty()) {
        status = {ERR | TMO | CMPL, EABO, 0};
    } else {
        const int sent = static_cast<int>(std::min<long>(count, pending.size()));
        std::memcpy(buffer, pending.constData(), static_cast<size_t>(sent));
        pending.remove(0, sent);
        status = {CMPL | (pending.isEmpty() ? END : 0), 0, sent};
    }
    if (forceReadCount)
        status.ibcnt = forcedReadCount;
    return status.ibsta;
}

int FakeGpibScript::ibonl(int device, int online)
{
    record(QStringLiteral("ibonl(%1, %2)").arg(device).arg(online));
    if (!checkOpen(device))
        return status.ibsta;
    if (online == 0)
        open = false;
    pending.clear();
    status = {CMPL, 0, 0};
    return status.ibsta;
}
