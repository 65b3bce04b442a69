// One Get Marker Pos on each interface against its loopback stand-in: a connection of its own
// (the analyser identified at the first only), "SYST:DISP:UPD ON", the two marker queries and
// the close. The simulated analyser stands for GPIB: it runs the same driver calls in process.
// Also one step of a frequency sweep against the sweep stand-in's source and analyser: the
// source tuned and asked *OPC?, the analyser centred and asked *OPC?, the peak search and one
// marker reading, each on a connection of its own (the settle pause and the reading interval
// left out).
#include <QCoreApplication>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "instrument/instrumentcontroller.h"
#include "instrument/sweepplan.h"

namespace {

void getMarkerPos(benchmark::State &state, InstrumentAddress address)
{
    InstrumentController controller;
    InstrumentFailure failure;
    for (auto _ : state) {
        if (!controller.readMarkerOnce(address, &failure)) {
            state.SkipWithError(failure.text.toLocal8Bit().constData());
            return;
        }
    }
}

struct SweepPair
{
    InstrumentAddress analyser;
    InstrumentAddress source;
};

void sweepStep(benchmark::State &state, SweepPair pair)
{
    InstrumentController controller;
    InstrumentFailure failure;
    double frequency = 1e5;
    for (auto _ : state) {
        frequency = frequency < 1e8 ? frequency * 1.5 : 1e5;
        std::optional<InstrumentFailure> failed = controller.sendCommand(
            pair.source, SweepPlan::command(QStringLiteral("FREQ %1"), frequency), true, false);
        if (!failed)
            failed = controller.sendCommand(
                pair.analyser, SweepPlan::command(QStringLiteral("FREQ:CENT %1"), frequency), true,
                true);
        if (!failed)
            failed = controller.sendCommand(pair.analyser, "CALC:MARK:MAX", false, true);
        if (!failed && !controller.readMarkerOnce(pair.analyser, &failure))
            failed = failure;
        if (failed) {
            state.SkipWithError(failed->text.toLocal8Bit().constData());
            return;
        }
    }
}

// Starts the stand-in of kind and returns the address it serves (the sweep stand-in: the
// analyser's and the source's, separated by a blank), empty when it did not start.
QString startStandIn(QProcess &process, const QString &kind)
{
    process.start(QStringLiteral(ANALYSER_STANDIN), {kind});
    if (!process.waitForReadyRead(5000))
        return QString();
    return QString::fromLatin1(process.readLine().trimmed()).section(QLatin1Char(' '), 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    std::vector<std::unique_ptr<QProcess>> standIns;
    const struct
    {
        const char *kind;
        InstrumentInterface interface;
    } kinds[] = {{"lan", InstrumentInterface::LanSocket},
                 {"vxi11", InstrumentInterface::Vxi11},
                 {"pty", InstrumentInterface::UsbTmc}};
    InstrumentAddress simulated;
    benchmark::RegisterBenchmark("GetMarkerPos/simulated (GPIB driver calls)", getMarkerPos,
                                 simulated)
        ->Unit(benchmark::kMicrosecond);
    for (const auto &kind : kinds) {
        standIns.push_back(std::make_unique<QProcess>());
        const QString where = startStandIn(*standIns.back(), QLatin1String(kind.kind));
        const InstrumentAddress::Parsed parsed = InstrumentAddress::parse(where, kind.interface);
        if (where.isEmpty() || !parsed.ok) {
            fprintf(stderr, "The %s stand-in did not start: %s\n", kind.kind,
                    standIns.back()->readAllStandardError().constData());
            continue;
        }
        benchmark::RegisterBenchmark((std::string("GetMarkerPos/") + kind.kind).c_str(),
                                     getMarkerPos, parsed.address)
            ->Unit(benchmark::kMicrosecond);
    }
    standIns.push_back(std::make_unique<QProcess>());
    const QStringList pair = startStandIn(*standIns.back(), QStringLiteral("sweep")).split(' ');
    SweepPair addresses;
    const InstrumentAddress::Parsed analyser =
        InstrumentAddress::parse(pair.value(0), InstrumentInterface::LanSocket);
    const InstrumentAddress::Parsed source =
        InstrumentAddress::parse(pair.value(1), InstrumentInterface::LanSocket);
    if (analyser.ok && source.ok) {
        addresses.analyser = analyser.address;
        addresses.source = source.address;
        benchmark::RegisterBenchmark("SweepStep/lan (source and analyser)", sweepStep, addresses)
            ->Unit(benchmark::kMicrosecond);
    } else {
        fprintf(stderr, "The sweep stand-in did not start: %s\n",
                standIns.back()->readAllStandardError().constData());
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (auto &process : standIns) {
        process->terminate();
        process->waitForFinished(3000);
    }
    return 0;
}
