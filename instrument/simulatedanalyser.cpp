#include "instrument/simulatedanalyser.h"

#include <cmath>
#include <cstring>

namespace {

// linux-gpib hands out device descriptors above those of the boards; so does this driver.
constexpr int firstDescriptor = 16;
constexpr double pi = 3.14159265358979323846;

} // namespace

SimulatedAnalyser::SimulatedAnalyser(unsigned seed, const QString &reason)
    : random(seed), reason(reason)
{
}

QVector<double> SimulatedAnalyser::toneFrequencies()
{
    QVector<double> frequencies;
    for (int step = 0; step <= 15; ++step)
        frequencies.append(std::round(1e4 * std::pow(10.0, step / 5.0)));
    return frequencies;
}

double SimulatedAnalyser::toneLevel(double frequency)
{
    const double ratio = frequency / corner;
    return amplitude - 10.0 * std::log10(1.0 + ratio * ratio);
}

double SimulatedAnalyser::sourceLevel(double frequency)
{
    const double ratio = frequency / sourceCorner;
    return amplitude - 10.0 * std::log10(1.0 + ratio * ratio);
}

QString SimulatedAnalyser::name() const
{
    return QStringLiteral("simulated analyser");
}

// Sets the status of a failed call: ERR with the error code, nothing transferred.
bool SimulatedAnalyser::answersAt(int primaryAddress)
{
    return primaryAddress == address || primaryAddress == sourceAddress;
}

int SimulatedAnalyser::fail(int code)
{
    status = ERR | CMPL;
    error = code;
    count = 0;
    return status;
}

int SimulatedAnalyser::ibdev(int boardIndex, int primaryAddress, int secondaryAddress, int timeout,
                             int sendEoi, int eosMode)
{
    Q_UNUSED(sendEoi);
    if (boardIndex != 0) {
        fail(ENEB);
        return -1;
    }
    const bool secondaryValid =
        secondaryAddress == 0 || (secondaryAddress >= 0x60 && secondaryAddress <= 0x7e);
    if (primaryAddress < 0 || primaryAddress > 30 || !secondaryValid || timeout < 0 ||
        timeout > 17 || eosMode < 0 || eosMode > 0x1fff) {
        fail(EARG);
        return -1;
    }
    int descriptor = firstDescriptor;
    while (devices.contains(descriptor))
        ++descriptor;
    devices[descriptor].address = primaryAddress;
    status = CMPL;
    return descriptor;
}

int SimulatedAnalyser::ibclr(int descriptor)
{
    auto device = devices.find(descriptor);
    if (device == devices.end())
        return fail(EDVR);
    if (!answersAt(device->address))
        return fail(ENOL);
    device->output.clear();
    status = CMPL;
    return status;
}

int SimulatedAnalyser::ibwrt(int descriptor, const void *data, long length)
{
    auto device = devices.find(descriptor);
    if (device == devices.end())
        return fail(EDVR);
    if (length < 0 || (length > 0 && !data))
        return fail(EARG);
    if (!answersAt(device->address))
        return fail(ENOL);
    const QByteArray command(static_cast<const char *>(data), static_cast<int>(length));
    if (device->address == sourceAddress)
        executeSource(*device, command);
    else
        execute(*device, command);
    status = CMPL;
    count = static_cast<int>(length);
    return status;
}

// Hands out the pending reply, END with its last byte. With nothing to send the analyser
// stays silent and the read ends in a time-out, as on the bus; the simulation reports it at
// once instead of after the time-out period.
int SimulatedAnalyser::ibrd(int descriptor, void *buffer, long length)
{
    auto device = devices.find(descriptor);
    if (device == devices.end())
        return fail(EDVR);
    if (length < 0 || (length > 0 && !buffer))
        return fail(EARG);
    if (!answersAt(device->address))
        return fail(ENOL);
    if (device->output.isEmpty()) {
        status = ERR | TMO | CMPL;
        error = EABO;
        count = 0;
        return status;
    }
    const int sent = static_cast<int>(std::min<long>(length, device->output.size()));
    std::memcpy(buffer, device->output.constData(), static_cast<size_t>(sent));
    device->output.remove(0, sent);
    status = CMPL | (device->output.isEmpty() ? END : 0);
    count = sent;
    return status;
}

int SimulatedAnalyser::ibonl(int descriptor, int online)
{
    auto device = devices.find(descriptor);
    if (device == devices.end())
        return fail(EDVR);
    if (online)
        device->output.clear();
    else
        devices.erase(device);
    status = CMPL;
    return status;
}

int SimulatedAnalyser::ThreadIbsta()
{
    return status;
}

int SimulatedAnalyser::ThreadIberr()
{
    return error;
}

int SimulatedAnalyser::ThreadIbcnt()
{
    return count;
}

// Carries out one command. A new command discards a reply that was not read, as SCPI
// instruments do; commands the analyser does not know are ignored.
void SimulatedAnalyser::execute(Device &device, const QByteArray &message)
{
    const QByteArray command = message.trimmed().toUpper();
    device.output.clear();
    const QVector<double> frequencies = toneFrequencies();
    if (command == "*OPC?") {
        device.output = "1\n";
        return;
    }
    if (command.startsWith("FREQ:CENT ")) {
        bool ok = false;
        const double value = command.mid(10).trimmed().toDouble(&ok);
        if (ok && value > 0)
            centre = value;
        markerOnSource = false;
        return;
    }
    if (sourceFrequency > 0) {
        if (command == "CALC:MARK:MAX")
            markerOnSource = sourceInView();
        else if (command == "CALC:MARK:X?")
            device.output = reply(markerOnSource ? sourceFrequency : centre);
        else if (command == "CALC:MARK:Y?")
            device.output =
                reply(markerOnSource ? sourceLevel(sourceFrequency) + gaussian(toneNoise)
                                     : noiseFloor + gaussian(floorNoise));
        return;
    }
    if (command == "CALC:MARK:MAX") {
        if (markerOnTone)
            toneIndex = (toneIndex + 1) % frequencies.size();
        markerOnTone = true;
    } else if (command == "CALC:MARK:X?") {
        device.output = reply(markerOnTone ? frequencies.at(toneIndex) : startMarker);
    } else if (command == "CALC:MARK:Y?") {
        const double level = markerOnTone
                                 ? toneLevel(frequencies.at(toneIndex)) + gaussian(toneNoise)
                                 : noiseFloor + gaussian(floorNoise);
        device.output = reply(level);
    }
}

// The source understands its tuning command, whatever its name, and *OPC?; the tone moves at
// once, so the analyser's marker must search for it again.
void SimulatedAnalyser::executeSource(Device &device, const QByteArray &message)
{
    const QByteArray command = message.trimmed().toUpper();
    device.output.clear();
    if (command == "*OPC?") {
        device.output = "1\n";
        return;
    }
    if (command == "*IDN?") {
        device.output = "Vantorel,Simulated source,0,1.0\n";
        return;
    }
    const int blank = command.lastIndexOf(' ');
    bool ok = false;
    const double value = blank < 0 ? 0 : command.mid(blank + 1).toDouble(&ok);
    if (ok && value > 0) {
        sourceFrequency = value;
        markerOnSource = false;
    }
}

bool SimulatedAnalyser::sourceInView() const
{
    return centre <= 0 || std::fabs(sourceFrequency - centre) <= 0.1 * centre;
}

// A normally distributed number by the Box-Muller method on the engine's raw output, so the
// sequence for a seed is the same with every standard library.
double SimulatedAnalyser::gaussian(double deviation)
{
    const double scale = 1.0 / (static_cast<double>(std::mt19937::max()) + 1.0);
    const double u1 = (static_cast<double>(random()) + 1.0) * scale;
    const double u2 = static_cast<double>(random()) * scale;
    return deviation * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * pi * u2);
}

// A reply as the analyser formats it: "+1.23450000E+09" and a line feed.
QByteArray SimulatedAnalyser::reply(double value)
{
    return QByteArray::number(value, 'E', 8).prepend(value < 0 ? "" : "+").append('\n');
}
