// The four fit methods on their own: model values, starting values, fits of exact and noisy
// data, the weighted variants, the handling of bad input, and agreement bit for bit with the
// straightforward reference of the procedure (bench/referencefit.cpp).
#include <QFile>
#include <QMap>
#include <QTest>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>

#include "referencefit.h"
#include "regression/cfitstatistics.h"
#include "regression/cifbandlogregresscalculation.h"
#include "regression/cifbandlogregressweightcalculation.h"
#include "regression/crecombinationtimelinregresscalculation.h"
#include "regression/crecombinationtimelinregressweightcalculation.h"
#include "regression/fitjob.h"
#include "regression/fitpoints.h"
#include "regression/ifbandkernel.h"
#include "regression/regressionmethods.h"
#include "syntheticpoints.h"
#include "testhelpers.h"

using Vector = QVector<double>;

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double notANumber = std::numeric_limits<double>::quiet_NaN();

std::unique_ptr<cAbstractRegressCalculation> calculationFor(int method)
{
    return regressionmethods::create(method);
}

Vector fit(cAbstractRegressCalculation &c, const Vector &x, const Vector &y, const Vector &dy)
{
    c.setXValues(x);
    c.setYValues(y);
    c.setDyValues(dy);
    c.calculate();
    return c.parameters();
}

Vector fit(int method, const Vector &x, const Vector &y, const Vector &dy)
{
    return fit(*calculationFor(method), x, y, dy);
}

Vector reference(int method, const Vector &x, const Vector &y, const Vector &dy,
                 referencefit::Counters *counters = nullptr)
{
    const auto model =
        method < 2 ? referencefit::Model::IfBand : referencefit::Model::RecombinationTime;
    return referencefit::fit(model, method % 2 == 1, x, y, dy, counters);
}

// The same bits, any NaN matching any NaN.
bool identical(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

bool identical(const Vector &a, const Vector &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (!identical(a[i], b[i]))
            return false;
    }
    return true;
}

QByteArray show(const Vector &v)
{
    QByteArray text;
    for (double d : v)
        text += QByteArray::number(d, 'g', 17) + ' ';
    return text;
}

#define COMPARE_BITS(actual, expected)                                                             \
    QVERIFY2(identical(actual, expected), show(actual) + "!= " + show(expected))

#define COMPARE_DOUBLE_BITS(actual, expected)                                                      \
    QVERIFY2(identical(actual, expected),                                                          \
             QByteArray::number(actual, 'g', 17) + " != " + QByteArray::number(expected, 'g', 17))

// The objective of whichever family the object belongs to, through its virtual residualSum.
double objective(cAbstractRegressCalculation &c, double A, double Fc)
{
    if (auto *ifBand = dynamic_cast<cIfBandLogRegressCalculation *>(&c))
        return ifBand->residualSum(A, Fc);
    return dynamic_cast<cRecombinationTimeLinRegressCalculation &>(c).residualSum(A, Fc);
}

Vector oneToTen()
{
    Vector x;
    for (int i = 1; i <= 10; ++i)
        x << i;
    return x;
}

// Points with random parameters around what a bench gives: a corner inside the X range, levels
// of either sign, noise of a few percent of the span; dY scattered, some points with dY = 0.
SyntheticPoints randomPoints(int method, unsigned seed, int n)
{
    std::mt19937_64 engine(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double decades = 1.0 + 3.0 * unit(engine);
    const double Fc = 10 * std::pow(10.0, -decades * (0.2 + 0.6 * unit(engine)));
    const double A = (method < 2 ? 60.0 : 6.0) * (unit(engine) - 0.5);
    const double noise = method < 2 ? 0.1 + 0.5 * unit(engine) : 0.01 + 0.05 * std::fabs(A);
    SyntheticPoints p;
    for (int i = 0; i < n; ++i) {
        const double x = 10 * std::pow(10.0, -decades * unit(engine));
        const double spread = noise * (0.2 + unit(engine));
        const double clean = method < 2 ? ifBandLevel(x, A, Fc) : recombinationResponse(x, A, Fc);
        p.x << x;
        p.y << clean + spread * (2 * unit(engine) - 1);
        p.dy << (unit(engine) < 0.1 ? 0.0 : spread);
    }
    return p;
}

// Counts its objective calls; otherwise the class it derives from.
class CountingIfBand : public cIfBandLogRegressCalculation
{
public:
    double residualSum(double A, double Fc) const override
    {
        ++calls;
        return cIfBandLogRegressCalculation::residualSum(A, Fc);
    }
    mutable long long calls = 0;
};

// Takes the objective of the weighted class, by its own residualSum.
class WeightedThroughOverride : public cRecombinationTimeLinRegressCalculation
{
public:
    double residualSum(double A, double Fc) const override
    {
        cRecombinationTimeLinRegressWeightCalculation weighted;
        weighted.setXValues(m_xValues);
        weighted.setYValues(m_yValues);
        weighted.setDyValues(m_dyValues);
        return weighted.residualSum(A, Fc);
    }
};

// An objective that never changes: every trial is accepted.
class FlatObjective : public cIfBandLogRegressCalculation
{
public:
    double residualSum(double, double) const override
    {
        ++calls;
        return 1.0;
    }
    mutable long long calls = 0;
};

#define COMPARE_RELATIVE(actual, expected, tolerance)                                              \
    QVERIFY2(std::fabs((actual) - (expected)) <= (tolerance)*std::fabs(expected),                  \
             QByteArray::number(actual, 'g', 17) + " != " + QByteArray::number(expected, 'g', 17))

Vector operator*(double k, Vector v)
{
    for (double &e : v)
        e *= k;
    return v;
}

// The objective of the method's own class at (A, Fc).
double objective(int method, const Vector &x, const Vector &y, const Vector &dy, double A,
                 double Fc)
{
    auto c = calculationFor(method);
    c->setXValues(x);
    c->setYValues(y);
    c->setDyValues(dy);
    return objective(*c, A, Fc);
}

} // namespace

class TestRegression : public QObject
{
    Q_OBJECT

private slots:
    void modelValues();
    void startingValues();
    void emptyPointsGiveZeros();
    void exactDataIsRecovered_data();
    void exactDataIsRecovered();
    void equalSpreadsGiveTheUnweightedFit_data();
    void equalSpreadsGiveTheUnweightedFit();
    void spreadsDoNotChangeUnweightedFits();
    void boundsLieInsideTheirIntervals();
    void operationsFollowTheirDefinitions();
    void weightedFitsDescendAlongTheUnweightedDirection();
    void agreesWithReference_data();
    void agreesWithReference();
    void badInputEnds_data();
    void badInputEnds();
    void zeroLevelKeepsTheStartingPair();
    void unusableSpreadsAreLeftOut();
    void derivedObjectiveDrivesTheWholeSearch();
    void flatObjectiveStopsAtTheStepCap();
    void crawlStopsAtTheStepCap();
    void quickLogarithmIsClose();
    void quickLookNeverContradictsTheObjective();
    void fitStatisticsByHand();
    void fitStatisticsOfReferenceSets_data();
    void fitStatisticsOfReferenceSets();
    void fitStatisticsUndefined_data();
    void fitStatisticsUndefined();
    void controlledFitsMatchReference_data();
    void controlledFitsMatchReference();
    void fitsAnyUnit();
};

void TestRegression::modelValues()
{
    QCOMPARE(ifBandLevel(0, -1, 5), -1.0);
    QCOMPARE(ifBandLevel(5, -1, 5), -4.0102999566398125);
    QCOMPARE(ifBandLevel(10, -1, 5), -7.989700043360188);
    QCOMPARE(ifBandLevel(-10, -1, 5), ifBandLevel(10, -1, 5));
    QCOMPARE(recombinationResponse(0, 2, 5), 0.0);
    QCOMPARE(recombinationResponse(5, 2, 5), 1.414213562373095);
    QCOMPARE(recombinationResponse(10, 2, 5), 1.7888543819998317);
    QCOMPARE(recombinationResponse(-5, 2, 5), -1.414213562373095);
    QCOMPARE(recombinationResponse(50, 2, 5), 1.9900743804199783);
}

void TestRegression::startingValues()
{
    for (int method = 0; method < 4; ++method) {
        auto c = calculationFor(method);
        c->setXValues({2, 5, 10});
        c->setYValues(method < 2 ? Vector{-1, -3, -7} : Vector{0.5, 1.4, 1.8});
        c->initParameters();
        QCOMPARE(c->parameters(), method < 2 ? (Vector{-1, 5}) : (Vector{1.8, 5}));

        // Only points with both X and Y count: the third X is ignored.
        c->setXValues({2, 4, 100});
        c->setYValues({-6, -4});
        c->initParameters();
        QCOMPARE(c->parameters(), (Vector{-4, 2}));
    }
}

void TestRegression::emptyPointsGiveZeros()
{
    for (int method = 0; method < 4; ++method)
        QCOMPARE(fit(method, {}, {}, {}), (Vector{0, 0, 0, 0}));
}

void TestRegression::exactDataIsRecovered_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<double>("spread");
    QTest::newRow("IF band") << 0 << 1.0;
    QTest::newRow("IF band weighted, dY 1") << 1 << 1.0;
    QTest::newRow("IF band weighted, dY 0.3") << 1 << 0.3;
    QTest::newRow("recombination") << 2 << 1.0;
    QTest::newRow("recombination weighted, dY 1") << 3 << 1.0;
    QTest::newRow("recombination weighted, dY 2") << 3 << 2.0;
}

// X = 1..10 with Y from the model itself: A and Fc back to 9 significant digits, the objective
// 0 at the end, so Ft is the fitted Fc and Fb just below it.
void TestRegression::exactDataIsRecovered()
{
    QFETCH(int, method);
    QFETCH(double, spread);
    const double A = method < 2 ? -20 : 3;
    const double Fc = 4;
    Vector y;
    for (double x : oneToTen())
        y << (method < 2 ? ifBandLevel(x, A, Fc) : recombinationResponse(x, A, Fc));
    const Vector p = fit(method, oneToTen(), y, Vector(10, spread));
    QCOMPARE(p.size(), 4);
    QVERIFY2(std::fabs(p[0] - A) <= 1e-9 * std::fabs(A), show(p));
    QVERIFY2(std::fabs(p[1] - Fc) <= 1e-9 * Fc, show(p));
    QCOMPARE(p[3], p[1]);
    QVERIFY2(p[2] <= p[1] && p[1] - p[2] < 1e-5, show(p));
}

void TestRegression::equalSpreadsGiveTheUnweightedFit_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<double>("spread");
    QTest::newRow("IF band, dY 1") << 1 << 1.0;
    QTest::newRow("IF band, dY 2") << 1 << 2.0;
    QTest::newRow("recombination, dY 1") << 3 << 1.0;
    QTest::newRow("recombination, dY 2") << 3 << 2.0;
}

// Equal spreads of 1 leave the objective as it is; of 2 they divide it by exactly 4, which
// changes no comparison of the search.
void TestRegression::equalSpreadsGiveTheUnweightedFit()
{
    QFETCH(int, method);
    QFETCH(double, spread);
    const auto model =
        method < 2 ? referencefit::Model::IfBand : referencefit::Model::RecombinationTime;
    for (unsigned seed : {1u, 2u, 3u}) {
        const SyntheticPoints p = syntheticPoints(model, 60, seed);
        const Vector unweighted = fit(method - 1, p.x, p.y, p.dy);
        COMPARE_BITS(fit(method, p.x, p.y, Vector(p.x.size(), spread)), unweighted);
    }
}

void TestRegression::spreadsDoNotChangeUnweightedFits()
{
    for (int method : {0, 2}) {
        const SyntheticPoints p = randomPoints(method, 11, 80);
        Vector other = p.dy;
        for (double &d : other)
            d = d * 7 + 0.25;
        COMPARE_BITS(fit(method, p.x, p.y, other), fit(method, p.x, p.y, p.dy));
        COMPARE_BITS(fit(method, p.x, p.y, {}), fit(method, p.x, p.y, p.dy));
    }
}

void TestRegression::boundsLieInsideTheirIntervals()
{
    for (int method = 0; method < 4; ++method) {
        for (unsigned seed = 20; seed < 26; ++seed) {
            const SyntheticPoints p = randomPoints(method, seed, 50);
            const Vector r = fit(method, p.x, p.y, p.dy);
            QVERIFY2(r[1] > 0, show(r));
            QVERIFY2(0.01 * r[1] <= r[2] && r[2] <= r[1], show(r));
            QVERIFY2(r[1] <= r[3] && r[3] <= 2 * r[1], show(r));
        }
    }
}

// The public operations give, bit for bit, the sums as they are written: objective and
// direction summed point by point over the points that have X and Y (and dY for the weights).
void TestRegression::operationsFollowTheirDefinitions()
{
    const double ln10 = 2.302585092994046;
    const SyntheticPoints p = randomPoints(1, 5, 37);
    Vector dy = p.dy.mid(0, 30); // fewer spreads than points
    dy[3] = notANumber;
    cIfBandLogRegressWeightCalculation ifBand;
    cRecombinationTimeLinRegressWeightCalculation recombination;
    for (cAbstractRegressCalculation *c :
         std::initializer_list<cAbstractRegressCalculation *>{&ifBand, &recombination}) {
        c->setXValues(p.x);
        c->setYValues(p.y.mid(0, 35)); // fewer values than abscissas
        c->setDyValues(dy);
    }
    for (double A : {-13.0, 0.5}) {
        for (double Fc : {0.7, 3.0, -2.0}) {
            double s = 0, sw = 0, gA = 0, gF = 0;
            double rs = 0, rsw = 0, rgA = 0, rgF = 0;
            for (int i = 0; i < 35; ++i) {
                const double r = ifBandLevel(p.x[i], A, Fc) - p.y[i];
                s += r * r;
                gA += r;
                gF += r * 20 * (p.x[i] * p.x[i]) / ((p.x[i] * p.x[i] + Fc * Fc) * (Fc * ln10));
                const double m = recombinationResponse(p.x[i], A, Fc);
                const double rr = m - p.y[i];
                rs += rr * rr;
                rgA += m * rr;
                rgF += m * rr * ((m / A) * (m / A) - 1);
                if (i < 30 && usableSpread(dy[i])) {
                    sw += (r / dy[i]) * (r / dy[i]);
                    rsw += (rr / dy[i]) * (rr / dy[i]);
                }
            }
            COMPARE_DOUBLE_BITS(ifBand.cIfBandLogRegressCalculation::residualSum(A, Fc), s);
            COMPARE_DOUBLE_BITS(ifBand.residualSum(A, Fc), sw);
            COMPARE_DOUBLE_BITS(ifBand.gradientA(A, Fc), gA);
            COMPARE_DOUBLE_BITS(ifBand.gradientFc(A, Fc), gF);
            COMPARE_DOUBLE_BITS(
                recombination.cRecombinationTimeLinRegressCalculation::residualSum(A, Fc), rs);
            COMPARE_DOUBLE_BITS(recombination.residualSum(A, Fc), rsw);
            COMPARE_DOUBLE_BITS(recombination.gradientA(A, Fc), 2 * rgA / A);
            COMPARE_DOUBLE_BITS(recombination.gradientFc(A, Fc), 2 * rgF / Fc);
        }
    }
}

void TestRegression::weightedFitsDescendAlongTheUnweightedDirection()
{
    const SyntheticPoints p = randomPoints(0, 8, 40);
    cIfBandLogRegressCalculation plain;
    cIfBandLogRegressWeightCalculation weighted;
    for (cIfBandLogRegressCalculation *c :
         {&plain, static_cast<cIfBandLogRegressCalculation *>(&weighted)}) {
        c->setXValues(p.x);
        c->setYValues(p.y);
        c->setDyValues(p.dy);
    }
    COMPARE_DOUBLE_BITS(weighted.gradientA(-3, 2), plain.gradientA(-3, 2));
    COMPARE_DOUBLE_BITS(weighted.gradientFc(-3, 2), plain.gradientFc(-3, 2));
    QVERIFY(weighted.residualSum(-3, 2) != plain.residualSum(-3, 2));
    QVERIFY(!identical(fit(weighted, p.x, p.y, p.dy), fit(plain, p.x, p.y, p.dy)));
}

void TestRegression::agreesWithReference_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<Vector>("x");
    QTest::addColumn<Vector>("y");
    QTest::addColumn<Vector>("dy");
    const char *const names[] = {"IF band", "IF band weighted", "recombination",
                                 "recombination weighted"};
    for (int method = 0; method < 4; ++method) {
        const auto model =
            method < 2 ? referencefit::Model::IfBand : referencefit::Model::RecombinationTime;
        for (int n : {7, 300, 700}) {
            const SyntheticPoints p = syntheticPoints(model, n, 77 + n);
            QTest::addRow("%s, bench data, %d points", names[method], n)
                << method << p.x << p.y << p.dy;
        }
        for (unsigned seed = 1; seed <= 8; ++seed) {
            const SyntheticPoints p = randomPoints(method, 100 * seed + method, 8 + 5 * seed);
            QTest::addRow("%s, random set %u", names[method], seed) << method << p.x << p.y << p.dy;
        }
        const SyntheticPoints p = randomPoints(method, 999, 40);
        QTest::addRow("%s, vectors of different lengths", names[method])
            << method << p.x << p.y.mid(0, 33) << p.dy.mid(0, 25);
        Vector negative = p.x;
        for (int i = 0; i < negative.size(); i += 3)
            negative[i] = -negative[i];
        QTest::addRow("%s, some negative X", names[method]) << method << negative << p.y << p.dy;
    }
}

void TestRegression::agreesWithReference()
{
    QFETCH(int, method);
    QFETCH(Vector, x);
    QFETCH(Vector, y);
    QFETCH(Vector, dy);
    COMPARE_BITS(fit(method, x, y, dy), reference(method, x, y, dy));
}

void TestRegression::badInputEnds_data()
{
    QTest::addColumn<Vector>("x");
    QTest::addColumn<Vector>("y");
    QTest::addColumn<Vector>("dy");
    const Vector x = {0.5, 1, 2, 5, 10};
    const Vector y = {-1, -2, -4, -9, -15};
    const Vector dy = {0.1, 0.2, 0.1, 0.3, 0.2};
    QTest::newRow("Y not a number") << x << Vector{-1, notANumber, -4, -9, -15} << dy;
    QTest::newRow("first Y not a number") << x << Vector{notANumber, -2, -4, -9, -15} << dy;
    QTest::newRow("X infinite") << Vector{0.5, 1, inf, 5, 10} << y << dy;
    QTest::newRow("first X not a number") << Vector{notANumber, 1, 2, 5, 10} << y << dy;
    QTest::newRow("Y infinite") << x << Vector{-1, -2, -inf, -9, -15} << dy;
    QTest::newRow("huge Y") << x << Vector{1e300, -2, -4, -9, 1e300} << dy;
    QTest::newRow("huge X") << Vector{1e300, 1e301, 1e302, 1e303, 1e304} << y << dy;
    QTest::newRow("tiny spreads") << x << y << Vector{1e-300, 1e-310, 4.9e-324, 1e-300, 1e-300};
    QTest::newRow("spreads 0 and not finite") << x << y << Vector{0, inf, notANumber, -0.0, 0};
    QTest::newRow("all points equal") << Vector(5, 3.0) << Vector(5, -2.0) << Vector(5, 0.1);
    QTest::newRow("single point") << Vector{4} << Vector{-3} << Vector{0.2};
    QTest::newRow("all X zero") << Vector(5, 0.0) << y << dy;
    QTest::newRow("all X negative") << Vector{-1, -2, -3, -4, -5} << y << dy;
    QTest::newRow("all Y zero") << x << Vector(5, 0.0) << dy;
    QTest::newRow("X scaled by an infinite factor")
        << Vector{notANumber, -inf, -inf, notANumber, -inf} << y << dy;
}

// Every method ends on every input, with the result of the reference.
void TestRegression::badInputEnds()
{
    QFETCH(Vector, x);
    QFETCH(Vector, y);
    QFETCH(Vector, dy);
    for (int method = 0; method < 4; ++method) {
        const Vector p = fit(method, x, y, dy);
        QCOMPARE(p.size(), 4);
        COMPARE_BITS(p, reference(method, x, y, dy));
    }
}

// With all Y at most 0 the recombination fit starts at A = 0, where the direction is not
// defined: no step is taken, and the flat objective puts Fb at 0.01 Fc and Ft at Fc.
void TestRegression::zeroLevelKeepsTheStartingPair()
{
    for (int method : {2, 3}) {
        QCOMPARE(fit(method, {2, 5, 10}, {0, -1, -2}, {1, 1, 1}), (Vector{0, 5, 0.01 * 5, 5}));
        // Neither end of either interval reaches twice the minimum: no bound exists.
        FitJob job(method, {2, 5, 10}, {0, -1, -2}, {1, 1, 1}, false);
        QVERIFY(job.run(*calculationFor(method)));
        QVERIFY(!job.methodResult().fbFound && !job.methodResult().ftFound);
    }
}

// A dY of 0 or one that is not finite gives its point no weight: the weighted objective skips
// it (the direction still uses every point), and with no usable dY left it is the unweighted
// objective, so the fit is the unweighted one.
void TestRegression::unusableSpreadsAreLeftOut()
{
    for (int method : {1, 3}) {
        const SyntheticPoints p = randomPoints(method, 31, 25);
        Vector dy = p.dy;
        dy[0] = 0;
        dy[4] = notANumber;
        dy[7] = inf;
        dy[9] = -inf;
        auto c = calculationFor(method);
        const Vector r = fit(*c, p.x, p.y, dy);
        COMPARE_BITS(r, reference(method, p.x, p.y, dy));
        for (double v : r)
            QVERIFY2(std::isfinite(v), show(r));

        // Spreads so large that their weight vanishes give the same objective.
        Vector negligible = dy;
        for (int i : {0, 4, 7, 9})
            negligible[i] = 1e300;
        auto other = calculationFor(method);
        other->setXValues(p.x);
        other->setYValues(p.y);
        other->setDyValues(negligible);
        COMPARE_DOUBLE_BITS(objective(*c, r[0], r[1]), objective(*other, r[0], r[1]));

        const Vector none(p.x.size(), 0.0);
        COMPARE_BITS(fit(method, p.x, p.y, none), fit(method - 1, p.x, p.y, none));
    }
}

// A class derived further that defines residualSum anew has that objective drive the descent
// and the bounds; the result is then the one the search gives through plain virtual calls.
void TestRegression::derivedObjectiveDrivesTheWholeSearch()
{
    const SyntheticPoints p = randomPoints(3, 41, 30);
    WeightedThroughOverride derived;
    COMPARE_BITS(fit(derived, p.x, p.y, p.dy), fit(3, p.x, p.y, p.dy));
    QVERIFY(!identical(fit(derived, p.x, p.y, p.dy), fit(2, p.x, p.y, p.dy)));

    const SyntheticPoints q = randomPoints(0, 42, 30);
    CountingIfBand counting;
    COMPARE_BITS(fit(counting, q.x, q.y, q.dy), fit(0, q.x, q.y, q.dy));
    QVERIFY(counting.calls > 40);
}

// Every trial of a flat objective is accepted; the descent ends after maxAcceptedSteps steps
// (two objective values per step), and the bound searches follow.
void TestRegression::flatObjectiveStopsAtTheStepCap()
{
    FlatObjective flat;
    const Vector r = fit(flat, {1, 2, 3}, {-1, -2, -4}, {1, 1, 1});
    QCOMPARE(r.size(), 4);
    const long long cap = cAbstractRegressCalculation::maxAcceptedSteps;
    QVERIFY2(flat.calls >= 2 * cap && flat.calls < 2 * cap + 100, QByteArray::number(flat.calls));
}

// An IF band measured far below its corner: the unweighted fit creeps along a long valley, and
// so does the weighted one with these spreads, each step lowering the objective a little; the
// cap ends both descents, and the classes say so.
void TestRegression::crawlStopsAtTheStepCap()
{
    for (int method : {0, 1}) {
        const int n = method == 0 ? 5 : 8;
        const double corner = method == 0 ? 50 : 20;
        const double noise = method == 0 ? 0 : 0.01;
        Vector x, y, dy;
        for (int i = 1; i <= n; ++i) {
            x << 10.0 * i / n;
            y << ifBandLevel(x.last(), -0.5, corner) + noise * (i % 3 - 1);
            dy << 0.01 * (1 + i % 2);
        }
        referencefit::Counters counters;
        const Vector expected = reference(method, x, y, dy, &counters);
        QCOMPARE(counters.acceptedSteps, cAbstractRegressCalculation::maxAcceptedSteps);
        COMPARE_BITS(fit(method, x, y, dy), expected);

        // Followed through a monitor, as the window runs it, the fit is the same to the bit
        // and says it ended at the cap; cancelled from the start, it ends after one step.
        const auto followed = calculationFor(method);
        cAbstractRegressCalculation::Monitor monitor;
        followed->setMonitor(&monitor);
        COMPARE_BITS(fit(*followed, x, y, dy), expected);
        QVERIFY(followed->stepLimitReached() && !followed->cancelled());
        QCOMPARE(followed->acceptedSteps(), cAbstractRegressCalculation::maxAcceptedSteps);
        QCOMPARE(monitor.acceptedSteps.load(), cAbstractRegressCalculation::maxAcceptedSteps);
        monitor.cancel = true;
        const Vector stopped = fit(*followed, x, y, dy);
        QVERIFY(followed->cancelled() && !followed->stepLimitReached());
        QCOMPARE(followed->acceptedSteps(), 1LL);
        QVERIFY(std::isnan(stopped[2]) && std::isnan(stopped[3]));
    }
}

void TestRegression::quickLogarithmIsClose()
{
    std::mt19937_64 engine(3);
    std::uniform_real_distribution<double> exponent(0.0, 300.0);
    for (int i = 0; i < 200000; ++i) {
        const double a = i < 1000 ? 1.0 + i * 1e-3 : std::pow(10.0, exponent(engine));
        const double exact = std::log10(a);
        QVERIFY2(std::fabs(IfBandKernel::quickLog10(a) - exact) <= 1e-14 * (1 + exact),
                 QByteArray::number(a, 'g', 17));
    }
}

// Whatever the quick look says for certain, the exact objective confirms; and it is certain
// for most bounds not very close to the objective.
void TestRegression::quickLookNeverContradictsTheObjective()
{
    std::mt19937_64 engine(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int certain = 0;
    int tries = 0;
    for (int weighted = 0; weighted < 2; ++weighted) {
        for (unsigned seed = 0; seed < 6; ++seed) {
            const SyntheticPoints p = randomPoints(weighted, 50 + seed, 40 + 200 * seed);
            const FitPoints points(p.x, p.y, p.dy, weighted == 1);
            const IfBandKernel kernel(points);
            for (int i = 0; i < 200; ++i) {
                const double A = 40 * (unit(engine) - 0.5);
                const double Fc = 0.01 + 5 * unit(engine);
                const double S = kernel.objective(A, Fc, nullptr);
                const double relative = std::pow(10.0, -16 + 16 * unit(engine));
                const double bound = S * (unit(engine) < 0.5 ? 1 - relative : 1 + relative);
                const IfBandKernel::Side side = kernel.side(A, Fc, bound);
                ++tries;
                if (side == IfBandKernel::Above)
                    QVERIFY(S > bound);
                if (side == IfBandKernel::Below)
                    QVERIFY(S < bound);
                if (side != IfBandKernel::Unknown)
                    ++certain;
            }
        }
    }
    QVERIFY2(certain > tries / 2, QByteArray::number(certain));

    // Near the ends of the range, where the exact objective may overflow or underflow.
    const Vector x = {1e-300, 1e-5, 1, 1e100, 1e150, 1.3e154, 1e200};
    const Vector y = {1e150, -1e-160, 0, -3e3, 1e-300, 2e153, -1e5};
    const Vector dy = {1e-300, 1e300, 4.9e-324, 1, 1e-160, 0.5, 2};
    for (int weighted = 0; weighted < 2; ++weighted) {
        const FitPoints points(x, y, dy, weighted == 1);
        const IfBandKernel kernel(points);
        for (double A : {-1e150, -20.0, 0.0, 1e-200, 1e154}) {
            for (double Fc : {1e-120, 1e-3, 1.0, 1e153, 1e300}) {
                const double S = kernel.objective(A, Fc, nullptr);
                for (double bound : {S, S * (1 - 1e-3), S * (1 + 1e-3), 0.0, 1e-310, 1e308, inf,
                                     std::nextafter(S, inf), std::nextafter(S, 0.0)}) {
                    const IfBandKernel::Side side = kernel.side(A, Fc, bound);
                    if (side == IfBandKernel::Above)
                        QVERIFY(S > bound);
                    if (side == IfBandKernel::Below)
                        QVERIFY(S < bound);
                }
            }
        }
    }
}

// IF band at A = 0, Fc = 1, L = 10 / ln 10: dm/dA = 1; dm/dFc is 0 at x = 0 and 20 / (2 ln 10)
// = L at x = 1. Points x = 0, 0, 1, 1 with residuals y - m = 1/2, -1/2, 1/2, -1/2 (exact in
// binary) make J^T W r = 0 for weights 1, 1, w, w, so (0, 1) is the minimum.
// w = 1: J^T J = [[4, 2L], [2L, 2L^2]], det 4L^2, inverse diagonal 1/2, 1/L^2; S = 1,
//   S/(n-2) = 1/2: sigmaA = 1/2, sigmaFc = sqrt(1/2)/L.
// dY 1, 1, 2, 2 (w = 1/4): J^T W J = [[5/2, L/2], [L/2, L^2/2]], det L^2, inverse diagonal
//   1/2, 5/(2L^2); S = 5/8, S/(n-2) = 5/16: sigmaA = sqrt(5/32), sigmaFc = sqrt(25/32)/L.
// A few roundings from these values; QCOMPARE's relative 1e-12 is far above that.
void TestRegression::fitStatisticsByHand()
{
    const double L = 10 / std::log(10.0);
    const double m = ifBandLevel(1, 0, 1);
    const Vector x = {0, 0, 1, 1};
    const Vector dy = {1, 1, 2, 2};
    for (int method : {0, 1}) {
        const cFitStatistics s =
            cFitStatistics::compute(method, x, {0.5, -0.5, m + 0.5, m - 0.5}, dy, 0, 1);
        QVERIFY(s.isDefined());
        QCOMPARE(s.degreesOfFreedom(), 2);
        QCOMPARE(s.objective(), method == 0 ? 1.0 : 0.625);
        QCOMPARE(s.reducedChiSquare(), method == 0 ? 0.5 : 0.3125);
        QCOMPARE(s.sigmaA(), std::sqrt(method == 0 ? 0.25 : 5.0 / 32));
        QCOMPARE(s.sigmaFc(), std::sqrt(method == 0 ? 0.5 : 25.0 / 32) / L);
        QCOMPARE(s.residualX(), x);
        QCOMPARE(s.residuals(), (Vector{0.5, -0.5, 0.5, -0.5}));
        QCOMPARE(s.residualDy(), dy);
    }
}

// One row per fit in the file that tests/reference/fitstatistics_scipy.py wrote: the point set
// and what scipy found for it (A, Fc, sigma_A, sigma_Fc, S, S / (n - 2)).
void TestRegression::fitStatisticsOfReferenceSets_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<Vector>("x");
    QTest::addColumn<Vector>("y");
    QTest::addColumn<Vector>("dy");
    QTest::addColumn<Vector>("scipy");
    QFile file(QStringLiteral(VANTOREL_FIT_REFERENCE));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QString set;
    QMap<QString, Vector> columns;
    while (!file.atEnd()) {
        const QStringList fields = QString::fromUtf8(file.readLine()).trimmed().split('\t');
        Vector numbers;
        for (const QString &field : fields.mid(1))
            numbers << field.toDouble();
        if (fields[0] == QLatin1String("set"))
            set = fields.value(1);
        else if (fields[0] == QLatin1String("fit"))
            QTest::addRow("%s, method %d", qPrintable(set), int(numbers[0]))
                << int(numbers[0]) << columns["x"] << columns["y"] << columns["dy"]
                << numbers.mid(1);
        else
            columns[fields[0]] = numbers;
    }
    QVERIFY(!set.isEmpty());
}

// Evaluated at scipy's popt, so the optimiser plays no part. scipy differentiates by forward
// differences (steps of sqrt(eps) relative), which puts its sigmas about 1e-8 relative from
// the analytic ones: 1e-6 allows for that. S and S/(n-2) are sums of the same residuals; they
// lose at most two digits where a residual is a hundredth of its level: 1e-12. Scaling X and
// Fc by k scales sigmaFc by k and leaves the rest to rounding (k x / (k Fc) is x / Fc within
// two roundings, amplified as much): 1e-12 again.
void TestRegression::fitStatisticsOfReferenceSets()
{
    QFETCH(int, method);
    QFETCH(Vector, x);
    QFETCH(Vector, y);
    QFETCH(Vector, dy);
    QFETCH(Vector, scipy);
    const double A = scipy[0], Fc = scipy[1];
    const cFitStatistics s = cFitStatistics::compute(method, x, y, dy, A, Fc);
    QCOMPARE(s.points(), x.size());
    COMPARE_RELATIVE(s.sigmaA(), scipy[2], 1e-6);
    COMPARE_RELATIVE(s.sigmaFc(), scipy[3], 1e-6);
    COMPARE_RELATIVE(s.objective(), scipy[4], 1e-12);
    COMPARE_RELATIVE(s.reducedChiSquare(), scipy[5], 1e-12);
    COMPARE_DOUBLE_BITS(s.objective(), objective(method, x, y, dy, A, Fc));
    for (double k : {1e3, 3e-7}) {
        const cFitStatistics t = cFitStatistics::compute(method, k * x, y, dy, A, k * Fc);
        COMPARE_RELATIVE(t.sigmaFc(), k * s.sigmaFc(), 1e-12);
        COMPARE_RELATIVE(t.sigmaA(), s.sigmaA(), 1e-12);
        COMPARE_RELATIVE(t.reducedChiSquare(), s.reducedChiSquare(), 1e-12);
        QCOMPARE(t.residualX(), k * x);
    }

    // No usable dY: the weighted method is its unweighted one.
    const Vector none = {0, notANumber, inf, -0.0};
    const cFitStatistics w = cFitStatistics::compute(method | 1, x, y, none, A, Fc);
    const cFitStatistics u = cFitStatistics::compute(method & 2, x, y, none, A, Fc);
    COMPARE_BITS((Vector{w.objective(), w.sigmaA(), w.sigmaFc(), double(w.points())}),
                 (Vector{u.objective(), u.sigmaA(), u.sigmaFc(), double(x.size())}));

    // The refinement, from the method's own result on X scaled as the window does, lands on
    // scipy's minimum, weighted or not: lmder and curve_fit end within about 1e-10 of it.
    FitJob job(method, x, y, dy, true);
    QVERIFY(job.run(*calculationFor(method)) && job.refined());
    COMPARE_RELATIVE(job.shown().A, A, 1e-8);
    COMPARE_RELATIVE(job.shown().Fc, Fc, 1e-8);
    COMPARE_RELATIVE(job.sigmaFc(), scipy[3], 1e-6);
    COMPARE_RELATIVE(job.reducedChiSquare(), scipy[5], 1e-9);

    // Our own fit, on X scaled as the window does, lands within a thousandth of a standard
    // error of scipy's minimum. Not so the weighted methods: they descend along the unweighted
    // direction and may end short of the weighted minimum, by several standard errors.
    if (method % 2 == 0) {
        const double k = 10 / x.last();
        const Vector r = fit(method, k * x, y, dy);
        QVERIFY2(std::fabs(r[0] - A) < 1e-3 * scipy[2], show(r));
        QVERIFY2(std::fabs(r[1] / k - Fc) < 1e-3 * scipy[3], show(r));
    }
}

// The "control" lines of the same file: fits of a file example with a range of X, rows left
// out, a held parameter or absolute σ, each with what scipy found for it.
void TestRegression::controlledFitsMatchReference_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<Vector>("x");
    QTest::addColumn<Vector>("y");
    QTest::addColumn<Vector>("dy");
    QTest::addColumn<QStringList>("control");
    QTest::addColumn<Vector>("scipy");
    QFile file(QStringLiteral(VANTOREL_FIT_REFERENCE));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QString set;
    QMap<QString, QMap<QString, Vector>> sets;
    while (!file.atEnd()) {
        const QStringList fields = QString::fromUtf8(file.readLine()).trimmed().split('\t');
        Vector numbers;
        for (const QString &field : fields.mid(1))
            numbers << field.toDouble();
        if (fields[0] == QLatin1String("set")) {
            set = fields.value(1);
        } else if (fields[0] == QLatin1String("control")) {
            const QMap<QString, Vector> &points = sets[fields[1]];
            Vector figures;
            for (const QString &field : fields.mid(9))
                figures << field.toDouble();
            QTest::addRow("%s", qPrintable(fields.mid(1, 8).join(' ')))
                << fields[2].toInt() << points["x"] << points["y"] << points["dy"]
                << QStringList(fields.mid(3, 6)) << figures;
        } else if (fields[0] != QLatin1String("fit")) {
            sets[set][fields[0]] = numbers;
        }
    }
}

// A job with the same controls lands on scipy's minimum (1e-8, as the plain refinement), with
// σ to 1e-6 (scipy's forward differences), the correlation within 1e-6 and the intervals from
// the same Student's t; the held parameter is shown at its value, with no σ.
void TestRegression::controlledFitsMatchReference()
{
    QFETCH(int, method);
    QFETCH(Vector, x);
    QFETCH(Vector, y);
    QFETCH(Vector, dy);
    QFETCH(QStringList, control);
    QFETCH(Vector, scipy);
    FitJob::Options options;
    options.refine = true;
    options.from = control[0].toDouble();
    options.to = control[1].toDouble();
    options.leftOut.fill(false, x.size());
    for (const QString &row : control[2].split(',', Qt::SkipEmptyParts))
        if (row != QLatin1String("-"))
            options.leftOut[row.toInt()] = true;
    options.held = control[3] == QLatin1String("A")    ? cFitStatistics::AHeld
                   : control[3] == QLatin1String("Fc") ? cFitStatistics::FcHeld
                                                       : cFitStatistics::NoneHeld;
    options.heldValue = control[4].toDouble();
    options.absoluteSigma = control[5] == QLatin1String("1");
    FitJob job(method, x, y, dy, options);
    QVERIFY(job.run(*calculationFor(method)));
    QVERIFY2(job.refined(), qPrintable(job.minimum().reason));
    QCOMPARE(job.degreesOfFreedom(), int(scipy[8]));
    QCOMPARE(job.minimumStatistics().degreesOfFreedom(), int(scipy[8]));
    QCOMPARE(job.absoluteSigma(), options.absoluteSigma);
    const FitJob::Parameters &p = job.shown();
    COMPARE_RELATIVE(p.A, scipy[0], 1e-8);
    COMPARE_RELATIVE(p.Fc, scipy[1], 1e-8);
    const Vector shown = {job.sigmaA(), job.sigmaFc(), job.confidenceA(), job.confidenceFc()};
    const Vector expected = {scipy[2], scipy[3], scipy[5], scipy[6]};
    for (int i = 0; i < shown.size(); ++i) {
        if (std::isnan(expected[i]))
            QVERIFY(std::isnan(shown[i]));
        else
            COMPARE_RELATIVE(shown[i], expected[i], 1e-6);
    }
    if (std::isnan(scipy[4]))
        QVERIFY(std::isnan(job.correlation()));
    else
        QVERIFY2(std::fabs(job.correlation() - scipy[4]) < 1e-6,
                 QByteArray::number(job.correlation(), 'g', 17));
    COMPARE_RELATIVE(job.objective(), scipy[7], 1e-9);
    QCOMPARE(job.usedPoints() + job.leftOutRows() + job.outsideRangeRows(), x.size());
}

void TestRegression::fitStatisticsUndefined_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<Vector>("x");
    QTest::addColumn<Vector>("y");
    QTest::addColumn<double>("A");
    QTest::addColumn<double>("Fc");
    QTest::addColumn<QString>("reason");
    const QString few = "needs at least 3 points";
    const QString apart = "the points cannot tell A and Fc apart";
    const Vector x = {1, 2, 3, 4};
    const Vector y = {-1, -2, -4, -5};
    QTest::newRow("two points") << 0 << Vector{1, 2} << Vector{-1, -2} << -1.0 << 2.0 << few;
    QTest::newRow("two usable dY") << 1 << x << y << -1.0 << 2.0 << few;
    QTest::newRow("IF band, all X 0") << 0 << Vector(4, 0.0) << y << -3.0 << 2.0 << apart;
    // Far below its corner the response is A x / Fc: only the ratio shows, 1 - rho^2 ~ 2e-13.
    QTest::newRow("recombination far below Fc") << 2 << 3e-4 * x << y << 1.0 << 1.0 << apart;
}

void TestRegression::fitStatisticsUndefined()
{
    QFETCH(int, method);
    QFETCH(Vector, x);
    QFETCH(Vector, y);
    QFETCH(double, A);
    QFETCH(double, Fc);
    QFETCH(QString, reason);
    const Vector dy = {0.1, 0, notANumber, 0.2};
    const cFitStatistics s = cFitStatistics::compute(method, x, y, dy, A, Fc);
    QCOMPARE(s.undefinedReason(), reason);
    QCOMPARE(cFitStatistics::usedPoints(method, x, y, dy), s.points());
    QVERIFY(std::isnan(s.sigmaA()) && std::isnan(s.sigmaFc()) && std::isnan(s.reducedChiSquare()));
    COMPARE_DOUBLE_BITS(s.objective(), objective(method, x, y, dy, A, Fc));
}

// Exact recombination data Y = s response(X, 3, 4) in any unit of Y, through the window's own
// flow: A = 3 s and Fc = 4 to 1e-6 (1e-3 weighted, whose descent follows the unweighted
// direction), and none at the step limit. Inside the range the descent handles as it is
// (s = 1 and recombination.txt), the result is the method's own to the bit.
// With a 1 % ripple on the data, X in any unit (every method) and Y in any unit (the
// recombination methods; the IF band's Y is a level in dB) give the same S, χ² and σ as the
// unscaled data: S and χ² times s² where Y is s times larger in an unweighted fit, the same in a
// weighted one (dY grows with Y), σA with Y and σFc with X. Those at the least-squares minimum
// agree to 1e-6; S at the method's own result to 1e-2, as far as the weighted recombination
// descent, which runs on Y scaled by a power of two, ends elsewhere.
void TestRegression::fitsAnyUnit()
{
    const auto figures = [](int method, const Vector &x, const Vector &y, const Vector &dy) {
        FitJob job(method, x, y, dy, false);
        job.run(*calculationFor(method));
        return Vector{job.objective(), job.minimumObjective(), job.reducedChiSquare(), job.sigmaA(),
                      job.sigmaFc()};
    };
    Vector rx, dy0;
    for (int i = 0; i < 20; ++i) {
        rx << 0.05 * std::pow(400.0, i / 19.0);
        dy0 << 0.01 * (1 + rx.last() / 20);
    }
    for (int method = 0; method < 4; ++method) {
        Vector y0;
        for (int i = 0; i < rx.size(); ++i)
            y0 << (method < 2
                       ? ifBandLevel(rx[i], -3, 4) + 0.1 * std::cos(3.0 * i)
                       : recombinationResponse(rx[i], 3, 4) * (1 + 0.01 * std::cos(3.0 * i)));
        const Vector unscaled = figures(method, rx, y0, dy0);
        for (double value : unscaled)
            QVERIFY(std::isfinite(value) && value > 0);
        for (int decade = -9; decade <= 9; decade += 3) {
            const double s = std::pow(10.0, decade);
            for (bool scaleY : {false, true}) {
                if (scaleY && method < 2)
                    continue;
                const double S = scaleY && !regressionmethods::isWeighted(method) ? s * s : 1;
                const Vector expected = {unscaled[0] * S, unscaled[1] * S, unscaled[2] * S,
                                         unscaled[3] * (scaleY ? s : 1),
                                         unscaled[4] * (scaleY ? 1 : s)};
                const Vector got = scaleY ? figures(method, rx, s * y0, s * dy0)
                                          : figures(method, s * rx, y0, dy0);
                for (int k = 0; k < expected.size(); ++k)
                    QVERIFY2(std::fabs(got[k] / expected[k] - 1) < (k == 0 ? 1e-2 : 1e-6),
                             qPrintable(QStringLiteral("method %1, %2 × %3, figure %4: %5 for %6")
                                            .arg(method)
                                            .arg(scaleY ? "Y" : "X")
                                            .arg(s)
                                            .arg(k)
                                            .arg(got[k])
                                            .arg(expected[k])));
            }
        }
    }

    Vector x;
    for (int i = 0; i < 20; ++i)
        x << 0.05 * std::pow(400.0, i / 19.0);
    for (int decade = -9; decade <= 9; ++decade) {
        const double s = std::pow(10.0, decade);
        Vector y, dy;
        for (double xi : x) {
            y << s * recombinationResponse(xi, 3, 4);
            dy << s * 0.01 * (1 + xi / 20);
        }
        for (int method : {2, 3}) {
            FitJob job(method, x, y, dy, false);
            const auto c = calculationFor(method);
            QVERIFY(job.run(*c));
            const FitJob::Parameters &p = job.methodResult();
            const double tolerance = method == 2 ? 1e-6 : 1e-3;
            QVERIFY2(std::fabs(p.A / (3 * s) - 1) < tolerance &&
                         std::fabs(p.Fc / 4 - 1) < tolerance && !job.stepLimitReached(),
                     qPrintable(QStringLiteral("s = %1, method %2: A = %3, Fc = %4")
                                    .arg(s)
                                    .arg(method)
                                    .arg(p.A)
                                    .arg(p.Fc)));
            if (decade == 0) {
                QCOMPARE(job.yScale(), 1.0);
                COMPARE_BITS(c->parameters(), fit(method, 0.5 * x, y, dy));
            }
        }
    }
    for (const char *name : {"ifband.txt", "recombination.txt"}) {
        QFile file(QStringLiteral(VANTOREL_EXAMPLES "/") + QLatin1String(name));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        Vector ex, ey, edy;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> f = line.split('\t');
            if (f.size() == 3)
                ex << f[0].toDouble(), ey << f[1].toDouble(), edy << f[2].toDouble();
        }
        for (int method = 0; method < 4; ++method) {
            FitJob job(method, ex, ey, edy, false);
            const auto c = calculationFor(method);
            QVERIFY(job.run(*c));
            QCOMPARE(job.yScale(), 1.0);
            COMPARE_BITS(c->parameters(), fit(method, (10 / ex.last()) * ex, ey, edy));
        }
    }
}

VANTOREL_TEST_MAIN(TestRegression)

#include "tst_regression.moc"
