#pragma once

#include <cstddef>

// The one place where grid files turn numbers into text: the text of printf's %g (or %f / %e) in
// the "C" locale, which is also what a default output stream writes.
class TNumberFormatter {
public:
    TNumberFormatter() = delete;

    // Longest text FormatDouble writes for any precision up to kMaxPrecision.
    static constexpr int kMaxPrecision = 40;
    static constexpr size_t kMaxDoubleText = 360;

    enum class TStyle { General, Fixed, Scientific };
    // Writes the value as printf's %.*g (General), %.*f (Fixed) or %.*e (Scientific) with the
    // given precision (0 to kMaxPrecision) and returns the end of the text. Fixed notation of a
    // large value is longer than kMaxDoubleText; use FormatDouble only with General or Scientific
    // into a buffer of kMaxDoubleText, or give Fixed a buffer of 2 * kMaxDoubleText. The formatters
    // may write scratch characters beyond the returned end, within that buffer.
    static char* FormatDouble(char* out, double value, TStyle style, int precision);
    // %.6g, the text of a default output stream.
    static char* FormatDefault(char* out, double value);
    // Writes each of the `count` values as FormatDouble does in General style with the given
    // precision (0 to kMaxRunPrecision), each followed by `separator`, and returns the end of the
    // text. The buffer must hold count * kRunRoom characters.
    static char* FormatGeneralRun(char* out, const double* values, size_t count, char separator, int precision);
    static constexpr int kMaxRunPrecision = 17;
    static constexpr size_t kRunRoom = 32;
    // The decimal text of the value; at most 24 characters.
    static char* FormatLong(char* out, long value);
};
