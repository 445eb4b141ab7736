"""Computes cell statistics with numpy and scipy, for the tests of the cell math to compare with.

    cellmath_reference.py CASES RESULTS

Each line of CASES is a case: a name, then fields separated by '|', each a list of numbers
(values, times, weights or parameters as the name says). Each line of RESULTS holds the case's
results, 'nan' where a result is missing, in the order listed below, each written with repr.
"""
import sys
import warnings

import numpy as np
from scipy import stats

warnings.simplefilter("ignore")
NAN = float("nan")


def moments(x):
    n = len(x)
    mean = np.mean(x)
    var = np.var(x)
    sample = np.var(x, ddof=1) if n > 1 else NAN
    equal = bool(np.all(x == x[0]))
    # Shape does not change with a shift; scipy's one-pass mean of values near 4000 is off by
    # 1e-12, which for a spread of 1e-3 moves the skewness in the ninth digit. Its mean of the
    # values less their mean is off by a rounding of the deviations only.
    centred = x - mean
    skew = NAN if n < 2 or equal else stats.skew(centred, bias=True)
    kurt = NAN if n < 2 or equal else stats.kurtosis(centred, fisher=True, bias=True)
    # What a rounding of the mean moves the skewness by, relative: sum |d|^3 / (n sigma^3).
    d = x - mean
    spread = NAN if n < 2 or equal else np.mean(np.abs(d) ** 3) / np.mean(d * d) ** 1.5
    return [mean, var, np.sqrt(var), sample, np.sqrt(sample), skew, kurt, spread]


def weighted(x, w):
    if w.sum() == 0:
        return [NAN] * 4
    mean = np.average(x, weights=w)
    var = np.average((x - mean) ** 2, weights=w)
    return [mean, np.sum(w * x), var, np.sqrt(var)]


def order(x, p):
    values, counts = np.unique(x, return_counts=True)
    mode = stats.mode(x, keepdims=False).mode
    minority = values[np.argmin(counts)]
    return [np.median(x), np.percentile(x, p), mode, minority, len(values)]


def counts(x, threshold):
    return [np.sum(x > threshold), np.sum(x >= threshold), np.sum(x < threshold), np.sum(x <= threshold),
            np.sum(x == threshold), np.argmin(x) + 1, np.argmax(x) + 1]


def line(t, y, w):
    """Slope, offset, r2, t-value (slope / its standard error) and Student's p-value of that t-value."""
    n = len(t)
    positive = w > 0
    if n < 2 or w.sum() == 0 or np.all(t[positive] == t[positive][0]):
        return [NAN] * 5
    tm = np.average(t, weights=w)
    ym = np.average(y, weights=w)
    rest = 0.0
    if np.all(w == 1):
        fit = stats.linregress(t, y)
        slope, offset = fit.slope, fit.intercept
    else:
        # polyfit on the data less its weighted means: on values near 4000 varying by
        # millimetres, its least squares would lose the digits the offset takes.
        slope, rest = np.polyfit(t - tm, y - ym, 1, w=np.sqrt(w))
        offset = ym + rest - slope * tm
    stt = np.sum(w * (t - tm) ** 2)
    constant = np.all(y[positive] == y[positive][0])
    if constant:
        return [slope, offset, NAN, NAN, NAN]
    syy = np.sum(w * (y - ym) ** 2)
    r2 = np.sum(w * (t - tm) * (y - ym)) ** 2 / (stt * syy)
    if n < 3:
        return [slope, offset, r2, NAN, NAN]
    # About the means, for the same reason.
    residual = (y - ym) - rest - slope * (t - tm)
    s2 = np.sum(w * residual ** 2) / (n - 2)
    tvalue = slope / np.sqrt(s2 / stt)
    return [slope, offset, r2, tvalue, 2 * stats.t.sf(abs(tvalue), n - 2)]


def sen(t, y):
    if not np.any(t != t[0]):
        return [NAN, NAN]
    fit = stats.theilslopes(y, t, method="separate")
    return [fit[0], fit[1]]


def mann_kendall(t, y):
    n = len(t)
    i, j = np.triu_indices(n, 1)
    s = float(np.sum(np.sign(y[j] - y[i]) * np.sign(t[j] - t[i])))
    _, groups = np.unique(y, return_counts=True)
    variance = (n * (n - 1) * (2 * n + 5) - np.sum(groups * (groups - 1) * (2 * groups + 5))) / 18
    if variance <= 0:
        return [s, NAN, NAN]
    sigma = np.sqrt(variance)
    z = (s - 1) / sigma if s > 0 else (s + 1) / sigma if s < 0 else 0.0
    return [s, z, 2 * stats.norm.sf(abs(z))]


def main():
    cases, results = sys.argv[1:3]
    out = []
    with open(cases) as f:
        for text in f:
            name, *fields = text.rstrip("\n").split("|")
            a = [np.array([float(v) for v in field.split()]) for field in fields]
            if name == "moments":
                row = moments(a[0])
            elif name == "weighted":
                row = weighted(a[0], a[1])
            elif name == "order":
                row = order(a[0], a[1][0])
            elif name == "counts":
                row = counts(a[0], a[1][0])
            elif name == "line":
                row = line(a[0], a[1], a[2] if len(a) > 2 else np.ones(len(a[0])))
            elif name == "sen":
                row = sen(a[0], a[1])
            elif name == "mannkendall":
                row = mann_kendall(a[0], a[1])
            elif name == "student":
                row = [2 * stats.t.sf(abs(a[0][0]), a[0][1])]
            elif name == "normal":
                row = [2 * stats.norm.sf(abs(a[0][0]))]
            else:
                raise SystemExit("unknown case " + name)
            out.append(" ".join(repr(float(v)) for v in row))
    with open(results, "w") as f:
        f.write("\n".join(out) + "\n")


main()
