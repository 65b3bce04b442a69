#ifndef FITEVALUATORS_H
#define FITEVALUATORS_H

#include <cmath>
#include <cstring>
#include <typeinfo>
#include <vector>

#include "regression/descentsearch.h"
#include "regression/fitpoints.h"

// The two ways the shared search (descentsearch.h) reaches the points.

// Straight through the class's own operations, residualSum by its virtual call: what a class
// derived from one of the fit classes gets, whatever it overrides.
template <class Calculation> class PlainEvaluator
{
public:
    explicit PlainEvaluator(const Calculation &calculation) : c(calculation) {}

    double objective(double A, double Fc) { return c.residualSum(A, Fc); }
    void direction(double A, double Fc, double &gA, double &gF)
    {
        gA = c.gradientA(A, Fc);
        gF = c.gradientFc(A, Fc);
    }
    bool surelyAbove(double, double, double) { return false; }
    bool above(double A, double Fc, double bound) { return c.residualSum(A, Fc) > bound; }
    bool greater(double A1, double Fc1, double A2, double Fc2)
    {
        return c.residualSum(A1, Fc1) > c.residualSum(A2, Fc2);
    }

private:
    const Calculation &c;
};

// Through a kernel, for a class whose objective is known to be the kernel's. It gives the
// values the plain evaluator would give, bit for bit, with less work:
// - one objective pass keeps what the direction needs, so a trial that is accepted has
//   already paid for the direction at the next point;
// - the objective at the current point and at the last point computed are remembered;
// - where only a comparison is asked for, the kernel's quick look answers when it is certain.
template <class Kernel> class FastEvaluator
{
public:
    explicit FastEvaluator(const FitPoints &points)
        : kernel(points), kept(static_cast<std::size_t>(points.count))
    {
    }

    double objective(double A, double Fc)
    {
        double S = 0;
        if (known(A, Fc, S))
            return S;
        return compute(A, Fc);
    }

    void direction(double A, double Fc, double &gA, double &gF)
    {
        // What is kept always belongs to the last point computed.
        if (!(keptValid && sameKey(keptA, keptFc, A, Fc)))
            compute(A, Fc);
        current = Entry{A, Fc, last.S, true};
        kernel.direction(A, Fc, kept.data(), gA, gF);
    }

    // A quick look stops paying once it cannot tell: later trials only come closer to the
    // current objective, so after the first Unknown the trials go straight to the exact pass.
    bool surelyAbove(double A, double Fc, double bound)
    {
        if (!quickTrials)
            return false;
        const auto side = kernel.side(A, Fc, bound);
        if (side == Kernel::Unknown)
            quickTrials = false;
        return side == Kernel::Above;
    }

    bool above(double A, double Fc, double bound)
    {
        double S = 0;
        if (known(A, Fc, S))
            return S > bound;
        const auto side = kernel.side(A, Fc, bound);
        if (side != Kernel::Unknown)
            return side == Kernel::Above;
        return compute(A, Fc) > bound;
    }

    bool greater(double A1, double Fc1, double A2, double Fc2)
    {
        double S = 0;
        if (known(A2, Fc2, S))
            return above(A1, Fc1, S);
        if (known(A1, Fc1, S)) {
            const auto side = kernel.side(A2, Fc2, S);
            if (side != Kernel::Unknown)
                return side == Kernel::Below;
        }
        return objective(A1, Fc1) > objective(A2, Fc2);
    }

private:
    struct Entry
    {
        double A;
        double Fc;
        double S;
        bool valid;
    };

    // Same bits, so that the same arguments are recognised and nothing else; an even model
    // gives the same values at -Fc.
    static bool sameKey(double A1, double Fc1, double A2, double Fc2)
    {
        if (Kernel::evenInFc) {
            Fc1 = std::fabs(Fc1);
            Fc2 = std::fabs(Fc2);
        }
        return std::memcmp(&A1, &A2, sizeof A1) == 0 && std::memcmp(&Fc1, &Fc2, sizeof Fc1) == 0;
    }

    bool known(double A, double Fc, double &S) const
    {
        for (const Entry *e : {&current, &last}) {
            if (e->valid && sameKey(e->A, e->Fc, A, Fc)) {
                S = e->S;
                return true;
            }
        }
        return false;
    }

    double compute(double A, double Fc)
    {
        const double S = kernel.objective(A, Fc, kept.data());
        keptA = A;
        keptFc = Fc;
        keptValid = true;
        last = Entry{A, Fc, S, true};
        return S;
    }

    Kernel kernel;
    // What the last objective pass kept for the direction, and where it was computed.
    std::vector<double> kept;
    double keptA = 0;
    double keptFc = 0;
    bool keptValid = false;
    // The point the descent stands on (the last one whose direction was asked for) and the
    // last point computed.
    Entry current{0, 0, 0, false};
    Entry last{0, 0, 0, false};
    bool quickTrials = true;
};

// The descent direction of a kernel's family at (A, Fc): one objective pass keeps the per-point
// values that the direction is computed from.
template <class Kernel>
void kernelDirection(const FitPoints &points, double A, double Fc, double &gA, double &gF)
{
    const Kernel kernel(points);
    std::vector<double> kept(static_cast<std::size_t>(points.count));
    kernel.objective(A, Fc, kept.data());
    kernel.direction(A, Fc, kept.data(), gA, gF);
}

// The search of one family for the object self, from the starting pair (A, Fc). The family's
// two own classes, Family and Weighted, have objectives the kernel knows and search through it;
// any class derived from them may define residualSum anew, so it searches through its own
// virtual operations, which changes the objective of the whole search.
template <class Kernel, class Weighted, class Family>
QVector<double> searchFamily(const Family &self, const QVector<double> &x, const QVector<double> &y,
                             const QVector<double> &dy, double A, double Fc,
                             descentsearch::Outcome *outcome,
                             cAbstractRegressCalculation::Monitor *monitor)
{
    const std::type_info &type = typeid(self);
    const bool weighted = type == typeid(Weighted);
    if (weighted || type == typeid(Family)) {
        const FitPoints points(x, y, dy, weighted);
        FastEvaluator<Kernel> evaluator(points);
        return descentsearch::minimize(evaluator, A, Fc, outcome, monitor);
    }
    PlainEvaluator<Family> evaluator(self);
    return descentsearch::minimize(evaluator, A, Fc, outcome, monitor);
}

#endif // FITEVALUATORS_H
