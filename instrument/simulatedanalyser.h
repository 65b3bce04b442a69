#ifndef SIMULATEDANALYSER_H
#define SIMULATEDANALYSER_H

#include <QByteArray>
#include <QMap>
#include <QVector>

#include <random>

#include "instrument/gpibdriver.h"

// A spectrum analyser at GPIB address 21 behind a driver of its own, for machines without a
// GPIB board. It understands "SYST:DISP:UPD ON", "CALC:MARK:MAX", "CALC:MARK:X?" and
// "CALC:MARK:Y?" and answers a query with one number ended by a line feed, as the real
// instrument does. Its screen shows one tone whose level follows a single-pole IF roll-off
// (toneLevel) with a little noise. Each "CALC:MARK:MAX" with the marker already on the tone
// first moves the tone on to the next frequency of toneFrequencies (after the last, back to
// the first), then puts the marker on it; so Search Peak followed by a timed acquisition,
// repeated, measures the roll-off point by point.
class SimulatedAnalyser : public GpibDriver
{
public:
    static constexpr int address = 21;
    static constexpr double amplitude = -20.0;  // dBm, the level far below the corner
    static constexpr double corner = 1.5e6;     // Hz, the corner frequency Fc
    static constexpr double toneNoise = 0.05;   // dB, standard deviation of a tone reading
    static constexpr double noiseFloor = -95.0; // dBm, the level away from the tone
    static constexpr double floorNoise = 1.0;   // dB, standard deviation of a floor reading
    static constexpr double startMarker = 5e6;  // Hz, the marker position at power-on

    static constexpr unsigned defaultSeed = 20240611;

    // reason tells the user why the simulated analyser stands in for a real bus.
    explicit SimulatedAnalyser(unsigned seed = defaultSeed, const QString &reason = QStringLiteral(
                                                                "No GPIB driver library in use"));

    // The tone's frequencies in Hz, log-spaced from 10 kHz to 10 MHz, five per decade.
    static QVector<double> toneFrequencies();
    // The noiseless tone level in dBm at frequency: A - 10 log10(1 + (f / Fc)^2).
    static double toneLevel(double frequency);

    QString name() const override;
    bool isSimulated() const override { return true; }
    QString simulationReason() const override { return reason; }
    int ibdev(int boardIndex, int primaryAddress, int secondaryAddress, int timeout, int sendEoi,
              int eosMode) override;
    int ibclr(int device) override;
    int ibwrt(int device, const void *data, long count) override;
    int ibrd(int device, void *buffer, long count) override;
    int ibonl(int device, int online) override;
    int ThreadIbsta() override;
    int ThreadIberr() override;
    int ThreadIbcnt() override;

private:
    struct Device
    {
        int address = 0;
        QByteArray output; // reply bytes not read yet
    };

    int fail(int error);
    void execute(Device &device, const QByteArray &command);
    double gaussian(double deviation);
    static QByteArray reply(double value);

    QMap<int, Device> devices;
    int status = 0;
    int error = 0;
    int count = 0;
    int toneIndex = 0;
    bool markerOnTone = false;
    std::mt19937 random;
    QString reason;
};

#endif // SIMULATEDANALYSER_H
