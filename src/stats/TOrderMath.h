#pragma once

#include <cstddef>

// Order statistics of the values of one cell (n >= 1 values, none of them NaN: NaN has no place
// in an order). Most take the values sorted ascending (std::sort with <), once for all the order
// statistics of a cell; the two "OfUnsorted" forms select instead and reorder the values given,
// which is cheaper for a cell that needs one order statistic only (two to four times as fast
// as a sort at 32 to 365 values). Both give the same double, up to the sign of a zero where 0
// and -0 meet at the rank taken. Nothing is allocated.
class TOrderMath {
public:
    TOrderMath() = delete;

    // (a + b) / 2, or a / 2 + b / 2 where a + b overflows: finite for finite a and b.
    static double MeanOfTwo(double a, double b);

    // The middle value, or MeanOfTwo of the two middle values: today's median bit for bit.
    static double Median(const double* sorted, size_t n);
    // Percentile `percent` in [0, 100] by linear interpolation between the closest ranks (numpy's
    // default), today's formula bit for bit: position (n - 1) (percent / 100), below it a, above
    // it b, fraction t; t >= 0.5 ? b - (b - a)(1 - t) : a + (b - a) t; the maximum from position
    // n - 1 up. Where b - a overflows, the same formula on halved differences, so the result
    // stays between a and b (p50 of -1.7e308 and 1.7e308 is 0).
    static double Percentile(const double* sorted, size_t n, double percent);
    // The most frequent value (exact equality); a tie goes to the smallest. Where 0 and -0 both
    // occur they count as one value, given as the sort placed its first member.
    static double Mode(const double* sorted, size_t n);
    // The least frequent value; a tie goes to the smallest.
    static double Minority(const double* sorted, size_t n);
    // The number of distinct values.
    static size_t Variety(const double* sorted, size_t n);

    // Sorts values without NaN into ascending order (-0 and 0 count as equal): a cell's few
    // values by insertion, which mispredicts less than std::sort's partitions; more by std::sort.
    static void Sort(double* values, size_t n);
    // Insertion sort by <, for a few values.
    static void InsertionSort(double* values, size_t n);

    // Median and Percentile of unsorted values, by std::nth_element as today's cell rule selects
    // (same calls, same results); `values` is reordered.
    static double MedianOfUnsorted(double* values, size_t n);
    static double PercentileOfUnsorted(double* values, size_t n, double percent);
};
