#ifndef INSTRUMENTCONNECTION_H
#define INSTRUMENTCONNECTION_H

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <functional>
#include <memory>
#include <optional>

#include "instrument/instrumentaddress.h"

// What ended an instrument operation early: what failed, where, and why. The window decides
// how to show it.
struct InstrumentFailure
{
    enum class Kind
    {
        // The interface could not connect, send or read: "Could not connect to %1: %2".
        Transfer,
        // A reply came but is no reading: not a number, no value, more than one reply.
        Reply,
        // A call of the GPIB driver failed; the driver's status says how.
        Gpib,
    };

    Kind kind = Kind::Transfer;
    // What failed, where and why, in one message; for GPIB the call that failed: "ibclr error".
    QString text;
    // Why, in one line: what a marker reading or a run cut short says.
    QString reason;
    // GPIB: the driver's status after the call, and what it most likely means in plain words
    // (empty when the status says nothing plain).
    int ibsta = 0;
    int iberr = 0;
    int ibcnt = 0;
    QString cause;
};
Q_DECLARE_METATYPE(InstrumentFailure)

// One connection to the analyser over one interface: open, clear, write a command, read one
// reply within the time-out, close. A call that fails returns false (or no reply), leaves the
// connection closed, and failure() says what failed, where, and why. Connections are short:
// each instrument operation opens one and closes it at its end.
class InstrumentConnection
{
    // Every text of the instrument link that the user reads is translated in the context of
    // the window that shows it, through this tr().
    Q_DECLARE_TR_FUNCTIONS(MainWindow)

public:
    // The bound of every transfer, and of a connect.
    static constexpr int timeoutMs = 1000;
    // The longest reply read.
    static constexpr int replySize = 1024;

    virtual ~InstrumentConnection();

    // The connection for address: the GPIB driver in use, a LAN socket, VXI-11, a USB-TMC
    // device file or the simulated analyser.
    static std::unique_ptr<InstrumentConnection> create(const InstrumentAddress &address);

    virtual bool open() = 0;
    // Clears the device where the interface can; a no-op where a new connection is clean.
    virtual bool clear() = 0;
    virtual bool write(const QByteArray &command) = 0;
    // One reply: the bytes that came, up to replySize (with the line feed that ends it, where
    // the interface frames replies by it).
    virtual std::optional<QByteArray> read() = 0;
    virtual void close() = 0;

    // Whether the instrument is asked for its identity (*IDN?) at its first connection.
    virtual bool asksIdentity() const { return true; }

    bool isOpen() const { return opened; }
    const InstrumentFailure &failure() const { return lastFailure; }
    // What the connection did on its own that the user should hear of (a late reply it threw
    // away), since it was last asked; asking empties the list.
    QStringList takeNotices();

    // The time-out as the messages give it: "1 s".
    static QString timeoutText();
    // A reply as a message quotes it: on one line, at most 40 characters.
    static QString shownReply(const QByteArray &reply);
    // The failure of a reply that came but is not one reading: the status bar reports it.
    static InstrumentFailure replyFailure(const QString &message);

protected:
    // Records the failure of a transfer (text: what failed, where and why; reason: why, in one
    // line), closes the connection and returns false.
    bool fail(const QString &text, const QString &reason = QString());

    // Milliseconds on a steady clock, for deadlines.
    static qint64 now();
    // The system's text for an error number.
    static QString systemError(int code);
    // Waits until the descriptor is ready for events (poll's), or the deadline (a now() value)
    // has passed: false then, with errno 0, or when poll itself fails.
    static bool waitFor(int descriptor, short events, qint64 deadline);
    // The reply to query where a line feed ends a reply: bytes after the line feed belong to no
    // question, and make the reply a failure (recorded as fail() does) rather than the answer to
    // the next one.
    std::optional<QByteArray> oneLine(const QByteArray &reply, const QByteArray &query);
    // Records bytes that came after the reply to query (or unasked before the next command) as
    // the failure of the operation, closes the connection and returns false.
    bool failExtra(const QByteArray &query, const QByteArray &bytes);
    // Writes command and a line feed to the descriptor through transfer (a write or a send),
    // waiting for it to take them at most the time-out; where names the instrument in a
    // failure, which is recorded as fail() does.
    bool writeLine(int descriptor, const QByteArray &command, const QString &where,
                   const std::function<ssize_t(const char *, size_t)> &transfer);

    bool opened = false;
    InstrumentFailure lastFailure;
    QStringList notices;
};

#endif // INSTRUMENTCONNECTION_H
