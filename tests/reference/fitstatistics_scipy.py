#!/usr/bin/python3
"""Reference figures for the fit statistics, from scipy.optimize.curve_fit.

Fits both models to four point sets, each unweighted (sigma=None) and weighted (sigma=dY),
with scipy's defaults: Levenberg-Marquardt, a finite-difference Jacobian (no analytic one is
given, so the derivatives are checked independently), absolute_sigma=False, so that pcov is
(J^T W J)^-1 * S / (n - 2). Writes each point set (shortest round-trip form) and, per fit,
popt, sqrt(diag(pcov)), S and S / (n - 2) with 17 significant digits, as TAB-separated lines,
to fitstatistics_scipy.txt next to this script.

Then, per file example, fits under the user's control: a range of X (both ends included), rows
left out, both together, A or Fc held at a value (curve_fit fits the other one alone), and
absolute_sigma=True. Each "control" line holds the method, the range (nan for an open end),
the rows left out (comma-separated, "-" for none), the held parameter ("A", "Fc" or "-") and
its value, whether sigma is absolute, then A, Fc, sigma_A, sigma_Fc (nan for the held one),
the correlation of A and Fc from pcov (nan with one held), the half-widths of the 95 %
intervals, t.ppf(0.975, dof) * sigma, S and the degrees of freedom. tst_regression reads that file; it does not
need scipy.

Run with Debian's python3-scipy and python3-numpy: /usr/bin/python3 fitstatistics_scipy.py
"""
import os

import numpy as np
import scipy
from scipy.optimize import curve_fit
from scipy.stats import t as student_t


def if_band(x, A, Fc):
    return A - 10.0 * np.log10(1.0 + (x / Fc) ** 2)


def recombination(x, A, Fc):
    u = x / Fc
    return A * u / np.sqrt(1.0 + u * u)


EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")


def read(name):
    x, y, dy = np.loadtxt(os.path.join(EXAMPLES, name), unpack=True)
    return x, y, dy


def synthetic(model, A, Fc, x, spread, seed):
    """The model plus normal noise whose spread differs from point to point, rounded to five
    significant digits as a table would show them."""
    rng = np.random.default_rng(seed)
    dy = spread * rng.uniform(0.3, 3.0, x.size)
    y = model(x, A, Fc) + rng.normal(0.0, dy)
    rounded = lambda v: np.array([float("%.5g" % e) for e in v])
    return rounded(x), rounded(y), rounded(dy)


def g17(v):
    return "%.17g" % v


def main():
    sets = [
        ("ifband.txt", 0, if_band) + read("ifband.txt"),
        ("IF band, 16 points", 0, if_band)
        + synthetic(if_band, -5.2, 3.7, np.logspace(-1, np.log10(30), 16), 0.15, 11),
        ("recombination.txt", 2, recombination) + read("recombination.txt"),
        ("recombination, 13 points", 2, recombination)
        + synthetic(recombination, 4.1, 0.35, np.logspace(-2, 1, 13), 0.06, 12),
    ]
    lines = ["# Written by fitstatistics_scipy.py with scipy %s: a set, its x, y and dy, then"
             % scipy.__version__,
             "# per fit: method, A, Fc, sigma_A, sigma_Fc, S, S / (n - 2)."]
    for name, method, model, x, y, dy in sets:
        lines.append("set\t" + name)
        for label, values in (("x", x), ("y", y), ("dy", dy)):
            lines.append("\t".join([label] + [repr(float(v)) for v in values]))
        for weighted in (False, True):
            sigma = dy if weighted else None
            p0 = (y.max(), 0.5 * x.max())
            popt, pcov = curve_fit(model, x, y, p0=p0, sigma=sigma, absolute_sigma=False,
                                   xtol=1e-15, ftol=1e-15, gtol=1e-15, maxfev=100000)
            if model is if_band:
                # The IF band level depends on Fc only through its square: -Fc fits as well,
                # and the program keeps Fc positive.
                popt[1] = abs(popt[1])
            r = model(x, *popt) - y
            if weighted:
                r = r / dy
            S = float(np.sum(r * r))
            perr = np.sqrt(np.diag(pcov))
            figures = (popt[0], popt[1], perr[0], perr[1], S, S / (x.size - 2))
            lines.append("\t".join(["fit", str(method + weighted)] + [g17(v) for v in figures]))
    controls = [
        # file, model, method, from, to, left out, held, value, absolute
        ("ifband.txt", if_band, 0, 0.3, 12.0, [], "-", 0.0, False),
        ("ifband.txt", if_band, 1, float("nan"), float("nan"), [3, 10, 17], "-", 0.0, False),
        ("ifband.txt", if_band, 1, 0.2, float("nan"), [5, 12], "-", 0.0, True),
        ("ifband.txt", if_band, 0, float("nan"), float("nan"), [], "A", -12.2, False),
        ("ifband.txt", if_band, 1, float("nan"), 15.0, [], "Fc", 3.9, False),
        ("recombination.txt", recombination, 3, float("nan"), float("nan"), [], "-", 0.0, True),
        ("recombination.txt", recombination, 2, 0.1, 8.0, [2, 12], "-", 0.0, False),
        ("recombination.txt", recombination, 3, float("nan"), float("nan"), [], "Fc", 1.6, True),
        ("recombination.txt", recombination, 2, float("nan"), float("nan"), [4], "A", 7.5, False),
    ]
    for name, model, method, lo, hi, left_out, held, value, absolute in controls:
        x, y, dy = read(name)
        keep = np.ones(x.size, dtype=bool)
        keep[left_out] = False
        if not np.isnan(lo):
            keep &= x >= lo
        if not np.isnan(hi):
            keep &= x <= hi
        xs, ys, dys = x[keep], y[keep], dy[keep]
        sigma = dys if method % 2 == 1 else None
        if held == "A":
            f = lambda xv, Fc: model(xv, value, Fc)
            p0 = (0.5 * xs.max(),)
        elif held == "Fc":
            f = lambda xv, A: model(xv, A, value)
            p0 = (ys.max(),)
        else:
            f = model
            p0 = (ys.max(), 0.5 * xs.max())
        popt, pcov = curve_fit(f, xs, ys, p0=p0, sigma=sigma, absolute_sigma=absolute,
                               xtol=1e-15, ftol=1e-15, gtol=1e-15, maxfev=100000)
        perr = np.sqrt(np.diag(pcov))
        nan = float("nan")
        if held == "A":
            A, Fc, sA, sFc, corr = value, abs(popt[0]), nan, perr[0], nan
        elif held == "Fc":
            A, Fc, sA, sFc, corr = popt[0], value, perr[0], nan, nan
        else:
            A, Fc, sA, sFc = popt[0], abs(popt[1]), perr[0], perr[1]
            corr = pcov[0, 1] / (perr[0] * perr[1])
            if model is if_band and popt[1] < 0:
                corr = -corr
        r = model(xs, A, Fc) - ys
        if sigma is not None:
            r = r / dys
        dof = xs.size - len(popt)
        q = student_t.ppf(0.975, dof)
        figures = (A, Fc, sA, sFc, corr, q * sA, q * sFc, float(np.sum(r * r)), dof)
        lines.append("\t".join(["control", name, str(method), repr(lo), repr(hi),
                                 ",".join(str(i) for i in left_out) or "-", held, repr(value),
                                 str(int(absolute))] + [g17(v) for v in figures]))
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "fitstatistics_scipy.txt"), "w") as out:
        out.write("\n".join(lines) + "\n")

if __name__ == "__main__":
    main()
