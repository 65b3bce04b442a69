// One Get Marker Pos on each interface against its loopback stand-in: a connection of its own
// (the analyser identified at the first only), "SYST:DISP:UPD ON", the two marker queries and
// the close. The simulated analyser stands for GPIB: it runs the same driver calls in process.
#include <QCoreApplication>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "instrument/instrumentcontroller.h"

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

// Starts the stand-in of kind and returns the address it serves, empty when it did not start.
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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (auto &process : standIns) {
        process->terminate();
        process->waitForFinished(3000);
    }
    return 0;
}
