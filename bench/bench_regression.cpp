// Time of one fit for each of the four methods on 20 to 20000 noisy points, for the regression
// classes and for the straightforward reference (bench/referencefit.cpp) in the same run. At
// the end a table gives, per method and size, the milliseconds per fit, the nanoseconds per
// point and per pass of the reference procedure, and how many times faster the classes are.
// Benchmark names: Reference/<method>/<points> and Classes/<method>/<points>.
#include <benchmark/benchmark.h>

#include <QVector>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "referencefit.h"
#include "regression/cifbandlogregresscalculation.h"
#include "regression/cifbandlogregressweightcalculation.h"
#include "regression/crecombinationtimelinregresscalculation.h"
#include "regression/crecombinationtimelinregressweightcalculation.h"
#include "regression/regressionmethods.h"
#include "syntheticpoints.h"

namespace {

const char *const methodNames[] = {"IfBand", "IfBandWeighted", "RecTime", "RecTimeWeighted"};
const int sizes[] = {20, 200, 2000, 20000};

referencefit::Model modelOf(int method)
{
    return method < 2 ? referencefit::Model::IfBand : referencefit::Model::RecombinationTime;
}

std::unique_ptr<cAbstractRegressCalculation> calculationFor(int method)
{
    return regressionmethods::create(method);
}

SyntheticPoints pointsFor(int method, int n)
{
    return syntheticPoints(modelOf(method), n, 1000 + static_cast<unsigned long long>(n));
}

bool sameBits(const QVector<double> &a, const QVector<double> &b)
{
    return a.size() == b.size() &&
           std::memcmp(a.constData(), b.constData(), sizeof(double) * a.size()) == 0;
}

std::string caseName(int method, int n)
{
    return std::string(methodNames[method]) + "/" + std::to_string(n);
}

// Passes over the points that the reference makes for one fit, for the per-pass figure.
std::map<std::string, long long> referencePasses;

void referenceFit(benchmark::State &state, int method, int n)
{
    const SyntheticPoints p = pointsFor(method, n);
    referencefit::Counters counters;
    referencefit::fit(modelOf(method), method % 2 == 1, p.x, p.y, p.dy, &counters);
    const long long passes = counters.objectivePasses + counters.directionPasses;
    referencePasses[caseName(method, n)] = passes;
    for (auto _ : state) {
        QVector<double> result =
            referencefit::fit(modelOf(method), method % 2 == 1, p.x, p.y, p.dy);
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["passes"] = static_cast<double>(passes);
    state.counters["accepted"] = static_cast<double>(counters.acceptedSteps);
}

void classesFit(benchmark::State &state, int method, int n)
{
    const SyntheticPoints p = pointsFor(method, n);
    std::unique_ptr<cAbstractRegressCalculation> calculation = calculationFor(method);
    calculation->setXValues(p.x);
    calculation->setYValues(p.y);
    calculation->setDyValues(p.dy);
    calculation->calculate();
    const QVector<double> expected =
        referencefit::fit(modelOf(method), method % 2 == 1, p.x, p.y, p.dy);
    if (!sameBits(calculation->parameters(), expected)) {
        state.SkipWithError("result differs from the reference");
        return;
    }
    for (auto _ : state) {
        calculation->calculate();
        benchmark::DoNotOptimize(calculation.get());
    }
}

// Whether a run ended without a time: Google Benchmark 1.8 replaced the flag error_occurred
// by skipped (1.7 has only the one, 1.9 only the other); only the overload whose member exists
// takes part, and the int argument prefers the newer one.
template <typename Run>
auto runFailed(const Run &run, int) -> decltype(static_cast<bool>(run.skipped))
{
    return static_cast<bool>(run.skipped);
}

template <typename Run>
auto runFailed(const Run &run, long) -> decltype(static_cast<bool>(run.error_occurred))
{
    return static_cast<bool>(run.error_occurred);
}

// Keeps the time per fit of every case (the median when runs are repeated), for the table at
// the end.
class TableReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (runFailed(run, 0))
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median)
                continue;
            // The run name without the aggregate suffix; times are in ms.
            millis[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
    }

    void printTable() const
    {
        std::printf("\n%-16s %6s %12s %12s %14s %14s %8s\n", "method", "n", "ref ms/fit",
                    "fast ms/fit", "ref ns/pt/pass", "fast ns/pt/pass", "ratio");
        for (int method = 0; method < 4; ++method) {
            for (int n : sizes) {
                const std::string name = caseName(method, n);
                const auto ref = millis.find("Reference/" + name);
                const auto fast = millis.find("Classes/" + name);
                const auto passes = referencePasses.find(name);
                if (ref == millis.end() || fast == millis.end() || passes == referencePasses.end())
                    continue;
                const double perPass = 1e6 / (static_cast<double>(n) * passes->second);
                std::printf("%-16s %6d %12.4f %12.4f %14.2f %14.2f %8.2f\n", methodNames[method], n,
                            ref->second, fast->second, ref->second * perPass,
                            fast->second * perPass, ref->second / fast->second);
            }
        }
        std::printf("ns/pt/pass: time per fit over points times the passes the reference makes "
                    "(objective and direction passes), for both columns.\n");
    }

private:
    std::map<std::string, double> millis;
};

} // namespace

int main(int argc, char **argv)
{
    // Each case runs the reference and then the classes, so that both see the machine in the
    // same state.
    for (int method = 0; method < 4; ++method) {
        for (int n : sizes) {
            const std::string name = caseName(method, n);
            benchmark::RegisterBenchmark(("Reference/" + name).c_str(), referenceFit, method, n)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("Classes/" + name).c_str(), classesFit, method, n)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printTable();
    benchmark::Shutdown();
    return 0;
}
