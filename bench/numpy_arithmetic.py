#!/usr/bin/python3
"""numpy on the arrays of bench_arithmetic: a + b alone, and a + b with the no-data rule of
TMapTools::Add (a cell where either input holds -9999 gives -9999). Best of many runs, in ms.
   numpy_arithmetic.py   (run beside ./build/bench/bench_arithmetic)"""
import timeit

import numpy as np

SIDE = 2000
y, x = np.mgrid[0:SIDE, 0:SIDE]
lacking = (x * 7 + y * 13) % 997 == 0


def grid(scale):
    return np.where(lacking, -9999.0, scale + x * 0.37 - y * 0.011)


a, b = grid(100.0), grid(3.0)


def best_ms(statement, repeat=15, number=5):
    return min(timeit.repeat(statement, repeat=repeat, number=number, globals=globals())) / number * 1e3


print(f"numpy {np.__version__}, {SIDE} x {SIDE} float64")
print(f"a + b                          {best_ms('a + b'):7.2f} ms")
print(f"a * b                          {best_ms('a * b'):7.2f} ms")
print(f"a + b with the no-data rule    {best_ms('np.where((a == -9999) | (b == -9999), -9999, a + b)'):7.2f} ms")
