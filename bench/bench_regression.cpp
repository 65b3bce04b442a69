// Time of one fit for each of the four methods on 20 to 20000 noisy points, for the regression
// classes and for the straightforward reference (bench/referencefit.cpp) in the same run. At
// the end a table gives, per method and size, the milliseconds per fit, the nanoseconds per
// point and per pass of the reference procedure, and how many times faster the classes are.
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
    switch (method) {
    case 0:
        return std::make_unique<cIfBandLogRegressCalculation>();
    case 1:
        return std::make_unique<cIfBandLogRegressWeightCalculation>();
    case 2:
        return std::make_unique<cRecombinationTimeLinRegressCalculation>();
    default:
        return std::make_unique<cRecombinationTimeLinRegressWeightCalculation>();
    }
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

// Passes over the points that the reference makes for one fit, for the per-pass figure.
std::map<std::string, long long> referencePasses;

void BM_Reference(benchmark::State &state)
{
    const int method = static_cast<int>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    const SyntheticPoints p = pointsFor(method, n);
    referencefit::Counters counters;
    referencefit::fit(modelOf(method), method % 2 == 1, p.x, p.y, p.dy, &counters);
    const long long passes = counters.objectivePasses + counters.directionPasses;
    referencePasses[std::string(methodNames[method]) + "/" + std::to_string(n)] = passes;
    for (auto _ : state) {
        QVector<double> result =
            referencefit::fit(modelOf(method), method % 2 == 1, p.x, p.y, p.dy);
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["passes"] = static_cast<double>(passes);
    state.counters["accepted"] = static_cast<double>(counters.acceptedSteps);
}

void BM_Classes(benchmark::State &state)
{
    const int method = static_cast<int>(state.range(0));
    const int n = static_cast<int>(state.range(1));
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

void sizesAndMethods(benchmark::internal::Benchmark *b)
{
    for (int method = 0; method < 4; ++method)
        for (int n : sizes)
            b->Args({method, n});
    b->ArgNames({"method", "n"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Reference)->Apply(sizesAndMethods);
BENCHMARK(BM_Classes)->Apply(sizesAndMethods);

// Keeps the time per fit of every run, for the table at the end.
class TableReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            const double ms = run.GetAdjustedRealTime(); // in the benchmark's unit, ms
            millis[run.benchmark_name()] = ms;
        }
    }

    void printTable() const
    {
        std::printf("\n%-16s %6s %12s %12s %14s %14s %8s\n", "method", "n", "ref ms/fit",
                    "fast ms/fit", "ref ns/pt/pass", "fast ns/pt/pass", "ratio");
        for (int method = 0; method < 4; ++method) {
            for (int n : sizes) {
                const std::string key = std::string(methodNames[method]) + "/" + std::to_string(n);
                const std::string suffix =
                    "/method:" + std::to_string(method) + "/n:" + std::to_string(n);
                const auto ref = millis.find("BM_Reference" + suffix);
                const auto fast = millis.find("BM_Classes" + suffix);
                const auto passes = referencePasses.find(key);
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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printTable();
    benchmark::Shutdown();
    return 0;
}
