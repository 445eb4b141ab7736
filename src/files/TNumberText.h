#pragma once

#include <cstddef>

// The one place where grid files turn text into numbers and numbers into text.
// Parsing accepts a finite decimal number only; formatting gives the text of printf's %g
// (or %f / %e) in the "C" locale, which is also what a default output stream writes.
class TNumberText {
public:
    TNumberText() = delete;

    enum class TParse { Ok, Invalid, TooLarge };

    // Parses the whole range [begin, end) as an optional sign, digits with an optional decimal
    // point (at least one digit), and an optional exponent. A value too small in magnitude gives
    // zero or the nearest subnormal; one too large for a double gives TooLarge.
    static TParse ParseDouble(const char* begin, const char* end, double& value);
    // An optional sign and decimal digits; a value outside the range of long gives TooLarge.
    static TParse ParseLong(const char* begin, const char* end, long& value);

    // Longest text FormatDouble writes for any precision up to kMaxPrecision.
    static constexpr int kMaxPrecision = 40;
    static constexpr size_t kMaxDoubleText = 360;

    enum class TStyle { General, Fixed, Scientific };
    // Writes the value as printf's %.*g (General), %.*f (Fixed) or %.*e (Scientific) with the
    // given precision (0 to kMaxPrecision) and returns the end of the text. Fixed notation of a
    // large value is longer than kMaxDoubleText; use FormatDouble only with General or Scientific
    // into a buffer of kMaxDoubleText, or give Fixed a buffer of 2 * kMaxDoubleText.
    static char* FormatDouble(char* out, double value, TStyle style, int precision);
    // %.6g, the text of a default output stream.
    static char* FormatDefault(char* out, double value);
    static char* FormatLong(char* out, long value);
};
