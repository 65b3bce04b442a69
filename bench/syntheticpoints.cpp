#include "syntheticpoints.h"

#include <cmath>
#include <random>

#include "regression/cifbandlogregresscalculation.h"
#include "regression/crecombinationtimelinregresscalculation.h"

namespace {

// Uniform in [0, 1) and standard normal (Box-Muller), computed here rather than by the
// library's distributions, whose output may differ between library versions.
class Noise
{
public:
    explicit Noise(unsigned long long seed) : engine(seed) {}
    double uniform() { return static_cast<double>(engine() >> 11) * 0x1.0p-53; }
    double normal()
    {
        const double u = 1.0 - uniform();
        const double v = uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
    }

private:
    std::mt19937_64 engine;
};

} // namespace

SyntheticPoints syntheticPoints(referencefit::Model model, int n, unsigned long long seed)
{
    Noise noise(seed);
    SyntheticPoints points;
    points.x.resize(n);
    points.y.resize(n);
    points.dy.resize(n);
    const bool ifBand = model == referencefit::Model::IfBand;
    const double spread = ifBand ? 0.3 : 0.05;
    for (int i = 0; i < n; ++i) {
        const double x = n > 1 ? 10 * std::pow(10.0, -4.0 + 4.0 * i / (n - 1)) : 10.0;
        const double dy = spread * (0.5 + noise.uniform());
        const double clean = ifBand ? ifBandLevel(x, -20, 1.5) : recombinationResponse(x, 3, 0.8);
        points.x[i] = x;
        points.y[i] = clean + dy * noise.normal();
        points.dy[i] = dy;
    }
    return points;
}
