#pragma once

#include <cstddef>
#include <vector>

// A least-squares line y = Offset + Slope t through one cell's values, and what it says; each
// flag says whether the results below it are there.
struct TLineFit {
    bool HasLine = false;
    double Slope = 0;
    double Offset = 0;
    bool HasR2 = false;
    // The coefficient of determination (weighted where fitted with weights), in [0, 1].
    double R2 = 0;
    bool HasTValue = false;
    // Slope / its standard error, signed; Student's t with Freedom degrees of freedom (the
    // p-value is LinePValue's).
    double TValue = 0;
    double Freedom = 0;
};

// What a least-squares line takes of the times and weights alone (the inputs scaled by powers
// of two, their weighted mean time and spread), made once where many cells share their times and
// weights. Refers to the times and weights given, which must outlive it.
struct TLineDesign {
    const double* T = nullptr;
    const double* W = nullptr;  // null: every weight 1
    size_t N = 0;
    size_t First = 0;  // the first input of positive weight
    int TExponent = 0;
    double TScale = 1;   // 2^-TExponent
    double WScale = 1;   // brings the largest weight into [0.5, 1)
    double LargestT = 0;  // of the inputs of positive weight, unscaled
    double Total = 0;     // the sum of the scaled weights
    double MeanT = 0;     // of the scaled times
    double ShiftT = 0;    // sum of w (t - MeanT), the mean's rounding
    double Stt = 0;       // sum of w (t - MeanT)^2
};

// Mann-Kendall's trend test over one cell's values.
struct TMannKendall {
    // sum over the pairs i < j of sign(y_j - y_i) sign(t_j - t_i): an integer, 0 where n < 2.
    double S = 0;
    // (S - 1) / sigma for S > 0, (S + 1) / sigma for S < 0, 0 for S = 0, and its two-sided
    // normal p-value; missing (HasZ false) where sigma = 0.
    double Z = 0;
    double P = 0;
    bool HasZ = false;
};

// Trends over the values of one cell: n inputs used, with their times t and values y (parallel,
// in input order; times need not be sorted nor distinct) and, for the line, optional weights.
// The inputs must be finite. Nothing is allocated but the caller's scratch vector, which only
// grows (keep one per thread and reuse it between cells).
class TTrendMath {
public:
    TTrendMath() = delete;

    // Least squares, weighted where w is not null (w >= 0, parallel; the statsmodels WLS
    // convention: Var(slope) = s^2 / sum w (t - tw)^2 with s^2 = sum w r^2 / (n - 2), n counting
    // every input given, zero weights included; the result does not change when every weight is
    // multiplied by one factor). Sums are centred (two passes), on the inputs scaled by powers of
    // two, so no square overflows. Returns fit.HasLine:
    //  - Slope, Offset: missing where n < 2, the weights sum to 0, or all times (of positive
    //    weight) are equal. Constant values give the slope 0 exactly.
    //  - R2 = 1 - sum w r^2 / sum w (y - yw)^2, computed as the squared weighted correlation;
    //    missing where there is no line or the values (of positive weight) are all equal.
    //  - TValue: missing where there is no line, n < 3, or the residuals are all zero: where
    //    their weighted root mean square is at most 16 * 2^-52 * (max |y| + |slope| max |t|),
    //    the rounding an exact line in doubles carries (so a perfect line gives no t-value).
    static bool FitLine(const double* t, const double* y, const double* w, size_t n, TLineFit& fit);
    // FitLine in two steps, with the same results: the design of times t and weights w (null for
    // none) of n inputs, false where there is no line whatever the values; then the line
    // through values y (parallel to the design's times) of a design that PrepareLine accepted.
    static bool PrepareLine(const double* t, const double* w, size_t n, TLineDesign& design);
    static bool FitLine(const TLineDesign& design, const double* y, TLineFit& fit);
    // The same line through values[k][c] of each input k of the design (a band per input), read
    // in place: the results of FitLine on those values gathered side by side.
    static bool FitLine(const TLineDesign& design, const double* const* values, size_t c, TLineFit& fit);
    // How FitStretch left a cell: its line made, an input holding its marker there, or left to
    // FitLine cell by cell (values not all finite, or all equal, or of a scale or spread that one
    // pass over them would not keep accurate, or a line exact to within rounding).
    enum class TCellFit : unsigned char { Fitted, Marked, Aside };
    // The lines through the cells [start, start + count) of the inputs' bands, each with the
    // results of FitLine(design, values, c, fit) where its state is Fitted. Cells where an input
    // k holds markers[k] (a comparison by ==) are Marked and not fitted. A design without weights
    // of up to kMaxStretchInputs inputs is fitted two cells at a time, in one pass input by
    // input (with 32 KiB of the stack); any other, cell by cell.
    static void FitStretch(const TLineDesign& design, const double* const* values, const double* markers,
                           size_t start, size_t count, TLineFit* fits, TCellFit* states);
    static constexpr size_t kMaxStretchInputs = 1024;
    // The two-sided p-value of fit.TValue under Student's t with fit.Freedom degrees of freedom;
    // false where the fit has no t-value.
    static bool LinePValue(const TLineFit& fit, double& p);

    // Theil-Sen: slope = the median of (y_j - y_i) / (t_j - t_i) over the pairs i < j with
    // t_j != t_i (MeanOfTwo of the two middle ones for an even count); offset = median(y) -
    // slope median(t) over all n inputs (scipy's theilslopes, method 'separate'). False where no
    // pair has distinct times. Uses 2 max(n (n - 1) / 2, n) doubles of scratch; a pair whose
    // quotient is not a number (only where differences overflow) is skipped as well.
    static bool TheilSen(const double* t, const double* y, size_t n, std::vector<double>& scratch, double& slope,
                         double& offset);

    // Mann-Kendall: S as above, sigma^2 = [n (n - 1) (2n + 5) - sum g (g - 1) (2g + 5)] / 18
    // over the groups of g equal values of y (ties in t count in S only, as 0). Uses n doubles
    // of scratch.
    static void MannKendall(const double* t, const double* y, size_t n, std::vector<double>& scratch,
                            TMannKendall& result);
};
