#include "instrument/instrumentaddress.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <arpa/inet.h>

#include "instrument/simulatedanalyser.h"
#include "instrument/usbtmcconnection.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("InstrumentAddress", text);
}

InstrumentAddress::Parsed refused(const QString &hint)
{
    InstrumentAddress::Parsed parsed;
    parsed.hint = hint;
    return parsed;
}

// A host as typed: an IPv4 address, a host name, or an IPv6 address (brackets removed by the
// caller). Returns a hint when it is none of these.
QString hostHint(const QString &host, bool bracketed)
{
    if (host.isEmpty())
        return tr("The host is missing");
    unsigned char address[16];
    const QByteArray latin = host.toLatin1();
    if (bracketed) {
        if (inet_pton(AF_INET6, latin.constData(), address) == 1)
            return QString();
        return tr("%1 is not an IPv6 address").arg(host);
    }
    if (host.contains(QLatin1Char(':')))
        return tr("Put an IPv6 address in brackets, for example [%1]:5025").arg(host);
    static const QRegularExpression numeric(QStringLiteral("^[0-9.]+$"));
    if (numeric.match(host).hasMatch()) {
        if (inet_pton(AF_INET, latin.constData(), address) == 1)
            return QString();
        return tr("%1 is not an IPv4 address").arg(host);
    }
    static const QRegularExpression name(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?"
                       "(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*\\.?$"));
    if (host.size() <= 253 && name.match(host).hasMatch())
        return QString();
    return tr("%1 is not a host name").arg(host);
}

// "host", "host:port", "[v6]" or "[v6]:port" for a LAN interface.
InstrumentAddress::Parsed parseHostAndPort(const QString &text, InstrumentInterface interface)
{
    QString host = text;
    QString portText;
    bool hasPort = false;
    const bool bracketed = text.startsWith(QLatin1Char('['));
    if (bracketed) {
        const int close = text.indexOf(QLatin1Char(']'));
        const QString rest = close < 0 ? QString() : text.mid(close + 1);
        if (close < 0 || (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':'))))
            return refused(tr("Type an IPv6 address as [address] or [address]:port"));
        host = text.mid(1, close - 1);
        hasPort = !rest.isEmpty();
        portText = rest.mid(1);
    } else if (text.count(QLatin1Char(':')) == 1) {
        host = text.section(QLatin1Char(':'), 0, 0);
        portText = text.section(QLatin1Char(':'), 1);
        hasPort = true;
    }
    const QString hint = hostHint(host, bracketed);
    if (!hint.isEmpty())
        return refused(hint);
    InstrumentAddress::Parsed parsed;
    parsed.address.interface = interface;
    parsed.address.host = host;
    if (hasPort) {
        if (interface == InstrumentInterface::Vxi11)
            return refused(tr("VXI-11 finds its port through the instrument: give the host alone"));
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return refused(tr("The port must be a number from 1 to 65535"));
        parsed.address.port = static_cast<quint16>(port);
    }
    parsed.ok = true;
    return parsed;
}

// A VISA resource string: TCPIP0::host::port::SOCKET, TCPIP0::host[::inst0][::INSTR],
// GPIB0::21[::INSTR]. Returns nothing when text is not one.
bool parseVisa(const QString &text, InstrumentAddress::Parsed *parsed)
{
    static const QRegularExpression tcpip(
        QStringLiteral("^TCPIP\\d*::(\\[[^\\]]*\\]|[^:]+)(?:::([^:]+))?(?:::(SOCKET|INSTR))?$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression gpib(
        QStringLiteral("^GPIB(\\d*)::(\\d+)(::\\d+)?(?:::INSTR)?$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression other(QStringLiteral("^(USB|ASRL|VXI|PXI|TCPIP|GPIB)\\d*::"),
                                          QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatch match = tcpip.match(text);
    if (match.hasMatch()) {
        const QString host = match.captured(1);
        const QString middle = match.captured(2);
        const bool socket =
            match.captured(3).compare(QLatin1String("SOCKET"), Qt::CaseInsensitive) == 0;
        if (socket) {
            if (middle.isEmpty()) {
                *parsed =
                    refused(tr("A SOCKET resource names its port: TCPIP0::host::5025::SOCKET"));
                return true;
            }
            *parsed =
                parseHostAndPort(host + QLatin1Char(':') + middle, InstrumentInterface::LanSocket);
            return true;
        }
        if (middle.startsWith(QLatin1String("hislip"), Qt::CaseInsensitive)) {
            *parsed = refused(tr("HiSLIP is not supported: use TCPIP0::host::inst0::INSTR (VXI-11) "
                                 "or TCPIP0::host::5025::SOCKET"));
            return true;
        }
        static const QRegularExpression device(QStringLiteral("^[A-Za-z][A-Za-z0-9_,]*$"));
        if (!middle.isEmpty() && !device.match(middle).hasMatch()) {
            *parsed = refused(tr("%1 is not a VXI-11 device name such as inst0").arg(middle));
            return true;
        }
        *parsed = parseHostAndPort(host, InstrumentInterface::Vxi11);
        if (parsed->ok && !middle.isEmpty())
            parsed->address.deviceName = middle;
        return true;
    }
    match = gpib.match(text);
    if (match.hasMatch()) {
        const int board = match.captured(1).isEmpty() ? 0 : match.captured(1).toInt();
        bool ok = false;
        const int address = match.captured(2).toInt(&ok);
        if (board != 0)
            *parsed = refused(tr("Only the first GPIB board (GPIB0) is used"));
        else if (!match.captured(3).isEmpty())
            *parsed = refused(tr("Secondary GPIB addresses are not supported"));
        else if (!ok || address > 30)
            *parsed = refused(tr("A GPIB address is a number from 0 to 30"));
        else {
            parsed->ok = true;
            parsed->address.interface = InstrumentInterface::Gpib;
            parsed->address.gpibAddress = address;
        }
        return true;
    }
    match = other.match(text);
    if (match.hasMatch()) {
        if (match.captured(1).compare(QLatin1String("USB"), Qt::CaseInsensitive) == 0)
            *parsed = refused(tr("For USB-TMC give the device file, for example /dev/usbtmc0"));
        else
            *parsed =
                refused(tr("Not a resource this program knows: use TCPIP0::host::5025::SOCKET, "
                           "TCPIP0::host::inst0::INSTR or GPIB0::21::INSTR"));
        return true;
    }
    return false;
}

} // namespace

QString InstrumentAddress::where() const
{
    switch (interface) {
    case InstrumentInterface::Gpib:
        return QStringLiteral("GPIB %1").arg(gpibAddress);
    case InstrumentInterface::LanSocket:
        if (host.contains(QLatin1Char(':')))
            return QStringLiteral("[%1]:%2").arg(host).arg(port);
        return QStringLiteral("%1:%2").arg(host).arg(port);
    case InstrumentInterface::Vxi11:
        return QStringLiteral("%1 (VXI-11 %2)").arg(host, deviceName);
    case InstrumentInterface::UsbTmc:
        return path;
    case InstrumentInterface::Simulated:
        break;
    }
    if (gpibAddress == SimulatedAnalyser::sourceAddress)
        return QStringLiteral("simulated source");
    return QStringLiteral("simulated analyser");
}

bool InstrumentAddress::operator==(const InstrumentAddress &other) const
{
    return interface == other.interface && host == other.host && port == other.port &&
           deviceName == other.deviceName && path == other.path && gpibAddress == other.gpibAddress;
}

QStringList InstrumentAddress::interfaceNames()
{
    return {tr("GPIB"), tr("LAN (SCPI socket)"), tr("LAN (VXI-11)"), tr("USB-TMC"),
            tr("Simulated analyser")};
}

bool InstrumentAddress::usesAddressField(InstrumentInterface interface)
{
    return interface == InstrumentInterface::LanSocket || interface == InstrumentInterface::Vxi11 ||
           interface == InstrumentInterface::UsbTmc;
}

InstrumentAddress::Parsed InstrumentAddress::parse(const QString &typed, InstrumentInterface chosen)
{
    const QString text = typed.trimmed();
    Parsed parsed;
    if (parseVisa(text, &parsed))
        return parsed;
    if (text.isEmpty()) {
        return refused(chosen == InstrumentInterface::UsbTmc
                           ? tr("Type the device file, for example /dev/usbtmc0")
                           : tr("Type the analyser's host, for example analyser.lab"));
    }
    switch (chosen) {
    case InstrumentInterface::LanSocket:
    case InstrumentInterface::Vxi11:
        return parseHostAndPort(text, chosen);
    case InstrumentInterface::UsbTmc:
        if (!text.startsWith(QLatin1Char('/')))
            return refused(tr("Type the device file, for example /dev/usbtmc0"));
        if (const QString refusal = UsbTmcConnection::refusal(text); !refusal.isEmpty())
            return refused(refusal);
        parsed.ok = true;
        parsed.address.interface = chosen;
        parsed.address.path = text;
        return parsed;
    case InstrumentInterface::Gpib:
    case InstrumentInterface::Simulated:
        break;
    }
    return refused(tr("This interface takes no address"));
}
