#ifndef SYNTHETICPOINTS_H
#define SYNTHETICPOINTS_H

#include <QVector>

#include "referencefit.h"

// Noisy points for the fit benchmark and tests, the same for the same arguments on every
// machine: X log-spaced over four decades up to 10 (the scaled range the window hands to the
// fit), Y the model plus normal noise, dY the spread of that noise (it varies from point to
// point between half and one and a half times the typical spread).
struct SyntheticPoints
{
    QVector<double> x;
    QVector<double> y;
    QVector<double> dy;
};

// IF band: A = -20 dB, Fc = 1.5, noise 0.3 dB. Recombination time: A = 3, Fc = 0.8, noise 0.05.
SyntheticPoints syntheticPoints(referencefit::Model model, int n, unsigned long long seed);

#endif // SYNTHETICPOINTS_H
