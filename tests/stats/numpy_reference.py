"""Checks grids of cell statistics, written by one run, against numpy and scipy over the same inputs.

    numpy_reference.py SKIP MINCOUNT WEIGHTS RANGE TIMES NODATA STAT=RESULT... -- INPUT...

SKIP is 0 or 1; MINCOUNT is 0 for none; WEIGHTS and TIMES are "-" or comma-separated (one per
input); RANGE is "-" or LO,HI (either may be empty); NODATA is the results' no-data value. An input
cell lacks data where it equals that input's NODATA_value, is NaN, or lies outside the range. Each
STAT=RESULT names a statistic and the grid written for it. Prints the first differences and exits 1
when any cell differs beyond rounding.
"""
import sys

import numpy as np
from scipy import stats as sps

COUNTS = ("count", "variety", "gt:", "ge:", "lt:", "le:", "eq:")


def read_grid(path):
    with open(path) as f:
        tokens = f.read().split()
    header = {}
    for i in range(0, 12, 2):
        header[tokens[i].lower()] = tokens[i + 1]
    cols, rows = int(header["ncols"]), int(header["nrows"])
    values = np.array([float(t) for t in tokens[12:12 + cols * rows]]).reshape(rows, cols)
    return values, float(header["nodata_value"])


def line(t, y, w):
    """Weighted least squares as statsmodels' WLS has it: slope, offset, r2, tvalue, pvalue or None."""
    n = len(y)
    if n < 2 or w.sum() == 0 or np.ptp(t[w > 0]) == 0:
        return None, None, None, None, None
    tm, ym = np.average(t, weights=w), np.average(y, weights=w)
    stt = (w * (t - tm) ** 2).sum()
    slope = (w * (t - tm) * (y - ym)).sum() / stt
    offset = ym - slope * tm
    residuals = y - (offset + slope * t)
    syy = (w * (y - ym) ** 2).sum()
    r2 = None if np.ptp(y) == 0 else 1 - (w * residuals ** 2).sum() / syy
    scale = np.abs(y).max() + abs(slope) * np.abs(t).max()
    if n < 3 or np.sqrt((w * residuals ** 2).sum() / w.sum()) <= 16 * 2.0 ** -52 * scale:
        return slope, offset, r2, None, None
    s2 = (w * residuals ** 2).sum() / (n - 2)
    tvalue = slope / np.sqrt(s2 / stt)
    return slope, offset, r2, tvalue, 2 * sps.t.sf(abs(tvalue), n - 2)


def mann_kendall(t, y):
    n = len(y)
    s = sum(np.sign(y[j] - y[i]) * np.sign(t[j] - t[i]) for i in range(n) for j in range(i + 1, n))
    _, groups = np.unique(y, return_counts=True)
    var = (n * (n - 1) * (2 * n + 5) - (groups * (groups - 1) * (2 * groups + 5)).sum()) / 18
    if var <= 0:
        return s, None, None
    z = (s - 1) / np.sqrt(var) if s > 0 else (s + 1) / np.sqrt(var) if s < 0 else 0.0
    return s, z, 2 * sps.norm.sf(abs(z))


def expected(stat, x, t, w, inputs):
    """The statistic of one cell's values x (input order) with times t, weights w and input numbers."""
    n = len(x)
    if stat in ("mean", "sum", "stddev", "variance") and w is not None:
        if w.sum() == 0:
            return None
        m = (w * x).sum() / w.sum()
        return {"mean": m, "sum": (w * x).sum(), "variance": (w * (x - m) ** 2).sum() / w.sum(),
                "stddev": np.sqrt((w * (x - m) ** 2).sum() / w.sum())}[stat]
    if stat.startswith(("gt:", "ge:", "lt:", "le:", "eq:")):
        threshold = float(stat[3:])
        compare = {"gt": np.greater, "ge": np.greater_equal, "lt": np.less, "le": np.less_equal, "eq": np.equal}
        return float(compare[stat[:2]](x, threshold).sum())
    if stat == "count":
        return float(n)
    if stat == "variety":
        return float(len(np.unique(x)))
    if stat in ("slope", "offset", "r2", "tvalue", "pvalue"):
        fit = line(t, x, w if w is not None else np.ones(n))
        return fit[("slope", "offset", "r2", "tvalue", "pvalue").index(stat)]
    if stat in ("sen", "sen-offset"):
        if n < 2 or np.ptp(t) == 0:
            return None
        slope, offset, _, _ = sps.theilslopes(x, t, method="separate")
        return slope if stat == "sen" else offset
    if stat.startswith("mk-"):
        return mann_kendall(t, x)[("mk-s", "mk-z", "mk-p").index(stat)]
    values, counts = np.unique(x, return_counts=True)
    simple = {
        "mean": lambda: x.mean(), "sum": lambda: x.sum(), "min": lambda: x.min(), "max": lambda: x.max(),
        "range": lambda: x.max() - x.min(), "median": lambda: np.median(x), "stddev": lambda: x.std(),
        "variance": lambda: x.var(),
        "stddev-sample": lambda: x.std(ddof=1) if n > 1 else None,
        "variance-sample": lambda: x.var(ddof=1) if n > 1 else None,
        "skewness": lambda: sps.skew(x) if n > 1 and np.ptp(x) > 0 else None,
        "kurtosis": lambda: sps.kurtosis(x) if n > 1 and np.ptp(x) > 0 else None,
        "mode": lambda: values[np.argmax(counts)], "minority": lambda: values[np.argmin(counts)],
        "argmin": lambda: float(inputs[np.argmin(x)]), "argmax": lambda: float(inputs[np.argmax(x)]),
    }
    if stat in simple:
        return simple[stat]()
    if stat.startswith("p"):
        return np.percentile(x, float(stat[1:]))
    raise SystemExit("unknown statistic " + stat)


def main():
    arguments = sys.argv[1:]
    split = arguments.index("--")
    skip, min_count, weights, bounds, times, nodata = arguments[:6]
    results = [a.split("=", 1) for a in arguments[6:split]]
    skip, min_count, nodata = skip == "1", int(min_count), float(nodata)
    grids = [read_grid(path) for path in arguments[split + 1:]]
    count = len(grids)
    w = None if weights == "-" else np.array([float(v) for v in weights.split(",")])
    tt = np.arange(count, dtype=float) if times == "-" else np.array([float(v) for v in times.split(",")])
    low, high = (-np.inf, np.inf) if bounds == "-" else [float(v) if v else s for v, s in
                                                         zip(bounds.split(","), (-np.inf, np.inf))]
    failures = 0
    for stat, path in results:
        got, got_nodata = read_grid(path)
        assert got_nodata == nodata, (got_nodata, nodata)
        bad = 0
        for (r, c), value in np.ndenumerate(got):
            cell = [g[0][r, c] for g in grids]
            held = [k for k in range(count) if cell[k] != grids[k][1] and cell[k] == cell[k] and low <= cell[k] <= high]
            x = np.array([cell[k] for k in held])
            counting = stat.startswith(COUNTS)
            if (min_count and len(held) < min_count) or (not counting and (not held or (not skip and len(held) < count))):
                want = None
            else:
                with np.errstate(all="ignore"):
                    want = expected(stat, x, tt[held], None if w is None else w[held], np.array(held) + 1)
            if want is not None and not np.isfinite(want):
                want = None
            scale = max(1.0, np.abs(x).max() if len(x) else 1.0)
            ok = (value == nodata) if want is None else (
                value != nodata and np.isclose(value, want, rtol=1e-10, atol=1e-10 * (scale * scale
                                                                                       if "variance" in stat else 1)))
            if not ok:
                bad += 1
                if bad <= 3:
                    print(f"{stat} cell ({r},{c}): got {value!r}, expected {want!r}, values {x.tolist()} "
                          f"of inputs {held}")
        failures += bad
        print(f"{stat}: {got.size - bad} of {got.size} cells agree")
    sys.exit(1 if failures else 0)


main()
