#ifndef INSTRUMENTADDRESS_H
#define INSTRUMENTADDRESS_H

#include <QMetaType>
#include <QString>
#include <QStringList>

// The ways the program reaches an analyser, in the order of the Interface field.
enum class InstrumentInterface
{
    Gpib,
    LanSocket,
    Vxi11,
    UsbTmc,
    Simulated
};

// Where the analyser is: the interface and what that interface needs to find it.
struct InstrumentAddress
{
    static constexpr quint16 defaultPort = 5025;

    InstrumentInterface interface = InstrumentInterface::Simulated;
    QString host;                                 // LAN: a name or an address, without brackets
    quint16 port = defaultPort;                   // LAN socket
    QString deviceName = QStringLiteral("inst0"); // VXI-11 device
    QString path;                                 // USB-TMC device file
    int gpibAddress = 21;                         // GPIB primary address; for the simulated
                                                  // instruments 21 the analyser, 19 the source

    // The place the messages name: "GPIB 21", "analyser.lab:5025", "[::1]:5025",
    // "analyser.lab (VXI-11 inst0)", "/dev/usbtmc0", "simulated analyser" or "simulated source".
    QString where() const;

    bool operator==(const InstrumentAddress &other) const;
    bool operator!=(const InstrumentAddress &other) const { return !(*this == other); }

    // The items of the Interface field, in the order of InstrumentInterface.
    static QStringList interfaceNames();
    // Whether the interface takes its address from the Address field.
    static bool usesAddressField(InstrumentInterface interface);

    // What the Address field holds, read for the interface chosen: an address, or a hint
    // that says why the text is not one. A VISA resource string chooses its own interface.
    struct Parsed;
    static Parsed parse(const QString &text, InstrumentInterface chosen);
};

struct InstrumentAddress::Parsed
{
    bool ok = false;
    InstrumentAddress address;
    QString hint;
};

Q_DECLARE_METATYPE(InstrumentAddress)

#endif // INSTRUMENTADDRESS_H
