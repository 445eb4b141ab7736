"""Checks a grid of cell statistics against numpy over the same inputs.

    numpy_reference.py STAT SKIP MINCOUNT WEIGHTS NODATA RESULT INPUT...

STAT is mean, sum, count, min, max, range, median, stddev, variance or pNN; SKIP is 0 or 1;
MINCOUNT is 0 for none; WEIGHTS is "-" or comma-separated; NODATA is the result's no-data value.
An input cell lacks data where it equals that input's NODATA_value or is NaN. Prints the first
differences and exits 1 when any cell differs beyond rounding.
"""
import sys

import numpy as np


def read_grid(path):
    with open(path) as f:
        tokens = f.read().split()
    header = {}
    for i in range(0, 12, 2):
        header[tokens[i].lower()] = tokens[i + 1]
    cols, rows = int(header["ncols"]), int(header["nrows"])
    values = np.array([float(t) for t in tokens[12:12 + cols * rows]]).reshape(rows, cols)
    return values, float(header["nodata_value"])


def main():
    stat, skip, min_count, weights, nodata, result = sys.argv[1:7]
    skip, min_count, nodata = skip == "1", int(min_count), float(nodata)
    stack = []
    for path in sys.argv[7:]:
        values, marker = read_grid(path)
        stack.append(np.where((values == marker) | np.isnan(values), np.nan, values))
    x = np.array(stack)
    present = ~np.isnan(x)
    held = present.sum(axis=0)
    w = None if weights == "-" else np.array([float(v) for v in weights.split(",")])

    with np.errstate(all="ignore"):
        if stat == "mean" and w is not None:
            wx = np.where(present, x * w[:, None, None], 0.0).sum(axis=0)
            ws = np.where(present, w[:, None, None], 0.0).sum(axis=0)
            expected = wx / ws
            missing = ws == 0
        else:
            missing = np.zeros(held.shape, bool)
            if stat == "mean":
                expected = np.nanmean(x, axis=0)
            elif stat == "sum":
                expected = np.nansum(x, axis=0)
            elif stat == "count":
                expected = held.astype(float)
            elif stat == "min":
                expected = np.nanmin(x, axis=0)
            elif stat == "max":
                expected = np.nanmax(x, axis=0)
            elif stat == "range":
                expected = np.nanmax(x, axis=0) - np.nanmin(x, axis=0)
            elif stat == "median":
                expected = np.nanmedian(x, axis=0)
            elif stat == "stddev":
                expected = np.nanstd(x, axis=0)
            elif stat == "variance":
                expected = np.nanvar(x, axis=0)
            elif stat.startswith("p"):
                expected = np.nanpercentile(x, float(stat[1:]), axis=0)
            else:
                raise SystemExit("unknown statistic " + stat)
    if stat != "count":
        missing |= held == 0
        if not skip:
            missing |= held < x.shape[0]
    if min_count > 0:
        missing |= held < min_count

    got, got_nodata = read_grid(result)
    assert got_nodata == nodata, (got_nodata, nodata)
    got_missing = got == nodata
    scale = np.nanmax(np.abs(x)) if present.any() else 1.0
    if stat == "variance":
        scale = scale * scale
    bad = (got_missing != missing) | (~missing & ~np.isclose(got, expected, rtol=1e-12, atol=1e-12 * scale))
    if bad.any():
        for r, c in list(zip(*np.nonzero(bad)))[:5]:
            print(f"cell ({r},{c}): got {got[r, c]!r}, numpy {expected[r, c]!r} (missing {missing[r, c]}), "
                  f"values {x[:, r, c].tolist()}")
        sys.exit(1)
    print(f"{stat}: {got.size} cells agree, {int(missing.sum())} missing")


main()
