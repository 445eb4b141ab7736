#pragma once

#include <cstddef>

// How a value is compared with a threshold: value > T, >= T, < T, <= T, == T.
enum class TComparison { Above, AtLeast, Below, AtMost, Equal };

// Counts and positions over the values of one cell (n >= 1, in input order). NaN compares with
// nothing: it is never counted and never the least or greatest value (unless all are NaN, when
// the first input is given). Nothing is allocated.
class TCountMath {
public:
    TCountMath() = delete;

    // The number of values that compare with `threshold` as `comparison` says (0 to n).
    static size_t Count(const double* values, size_t n, TComparison comparison, double threshold);
    // The number of the input (from 1) holding the least value; a tie goes to the first such
    // input. `inputs` is parallel to the values (their inputs' numbers, as inputs lacking data are
    // skipped), or null for the inputs 1 to n.
    static size_t ArgMin(const double* values, const size_t* inputs, size_t n);
    // The same for the greatest value.
    static size_t ArgMax(const double* values, const size_t* inputs, size_t n);
};
