#ifndef SIMULATEDANALYSER_H
#define SIMULATEDANALYSER_H

#include <QByteArray>
#include <QMap>
#include <QVector>

#include <random>

#include "instrument/gpibdriver.h"

// A spectrum analyser at GPIB address 21 behind a driver of its own, for machines without a
// GPIB board. It understands "SYST:DISP:UPD ON", "CALC:MARK:MAX", "CALC:MARK:X?",
// "CALC:MARK:Y?", "FREQ:CENT f" and "*OPC?" (always done) and answers a query with one number ended
// by a line feed, as the real instrument does. Its screen shows one tone whose level follows a
// single-pole IF roll-off (toneLevel) with a little noise. Each "CALC:MARK:MAX" with the marker
// already on the tone first moves the tone on to the next frequency of toneFrequencies (after the
// last, back to the first), then puts the marker on it; so Search Peak followed by a timed
// acquisition, repeated, measures the roll-off point by point.
//
// At GPIB address 19 the same driver has a signal source, for sweeps without instruments: any
// command that ends in a number ("FREQ 1000000") tunes it to that frequency in Hz, and "*OPC?"
// answers "1". Once the source is tuned, the analyser's screen shows the source's tone instead:
// "CALC:MARK:MAX" puts the marker on it when the analyser is centred near it (within a tenth of
// the centre, "FREQ:CENT f", or anywhere before it was centred at all), and its level follows
// sourceLevel; away from the tone the marker sees the noise floor.
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

    static constexpr int sourceAddress = 19;
    static constexpr double sourceCorner = 4e6; // Hz, the corner of the response a sweep sees

    static constexpr unsigned defaultSeed = 20240611;

    // reason tells the user why the simulated analyser stands in for a real bus.
    explicit SimulatedAnalyser(unsigned seed = defaultSeed, const QString &reason = QStringLiteral(
                                                                "No GPIB driver library in use"));

    // The tone's frequencies in Hz, log-spaced from 10 kHz to 10 MHz, five per decade.
    static QVector<double> toneFrequencies();
    // The noiseless tone level in dBm at frequency: A - 10 log10(1 + (f / Fc)^2).
    static double toneLevel(double frequency);
    // The noiseless level in dBm of the source's tone at frequency:
    // A - 10 log10(1 + (f / sourceCorner)^2).
    static double sourceLevel(double frequency);

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
    static bool answersAt(int primaryAddress);
    void execute(Device &device, const QByteArray &command);
    void executeSource(Device &device, const QByteArray &command);
    // Whether the marker, after a peak search, stands on the source's tone.
    bool sourceInView() const;
    double gaussian(double deviation);
    static QByteArray reply(double value);

    QMap<int, Device> devices;
    int status = 0;
    int error = 0;
    int count = 0;
    int toneIndex = 0;
    bool markerOnTone = false;
    // The source's frequency once it was tuned, and the analyser's centre once it was set.
    double sourceFrequency = 0;
    double centre = 0;
    bool markerOnSource = false;
    std::mt19937 random;
    QString reason;
};

#endif // SIMULATEDANALYSER_H
