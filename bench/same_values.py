#!/usr/bin/env python3
"""Checks that two ASCII grids hold the same values to six significant digits.
   same_values.py OURS PEERS   (exit status 0 when equal)"""
import sys


def values(path):
    with open(path) as handle:
        tokens = handle.read().split()
    return [float(t) for t in tokens[12:]]


ours, peers = values(sys.argv[1]), values(sys.argv[2])
if len(ours) != len(peers):
    print(f"different cell counts: {len(ours)} and {len(peers)}")
    sys.exit(1)
different = sum(1 for a, b in zip(ours, peers) if "%.6g" % a != "%.6g" % b)
print(f"{len(ours)} cells, {different} differ at six significant digits")
sys.exit(1 if different else 0)
