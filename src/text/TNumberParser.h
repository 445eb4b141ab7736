#pragma once

#include <cstddef>
#include <cstdint>

// The one place where grid files turn text into numbers. It accepts a finite decimal number only
// (and, leniently, nan and the decimal comma), and gives exactly the double that strtod gives in
// the "C" locale.
class TNumberParser {
public:
    TNumberParser() = delete;

    enum class TParse { Ok, Invalid, TooLarge };

    // Parses the whole range [begin, end) as an optional sign, digits with an optional decimal
    // separator (at least one digit), and an optional exponent. The separator is the point, or the
    // one given (a comma for the decimal comma; the point is then refused). A value too small in
    // magnitude gives zero or the nearest subnormal; one too large for a double gives TooLarge.
    static TParse ParseDouble(const char* begin, const char* end, double& value, char decimalSeparator = '.');
    // The common short form, up to 15 digits with an optional sign and decimal point and no
    // exponent, read from `text` up to the first character that is not part of it. Returns that
    // position with the value (exact: one correctly rounded division), or null for any other form,
    // which ParseDouble then judges. The caller checks that the number ends where it should.
    static const char* ParseShortDecimal(const char* text, double& value)
    {
        const bool negative = *text == '-';
        if (negative || *text == '+') ++text;
        uint64_t digits = 0;
        const char* start = text;
        while (static_cast<unsigned char>(*text - '0') < 10) digits = digits * 10 + static_cast<unsigned>(*text++ - '0');
        long count = text - start;
        long decimals = 0;
        if (*text == '.') {
            const char* fraction = ++text;
            while (static_cast<unsigned char>(*text - '0') < 10)
                digits = digits * 10 + static_cast<unsigned>(*text++ - '0');
            decimals = text - fraction;
            count += decimals;
        }
        if (count == 0 || count > 15) return nullptr;
        double magnitude = static_cast<double>(digits);
        if (decimals > 0) magnitude /= kPowersOfTen[decimals];
        value = negative ? -magnitude : magnitude;
        return text;
    }
    // What ParseDouble accepts, and also nan in any case with an optional sign (a quiet NaN), and a
    // number whose one decimal separator is a comma ("0,3") when it has no point.
    static TParse ParseDoubleLenient(const char* begin, const char* end, double& value);
    // An optional sign and decimal digits; a value outside the range of long gives TooLarge.
    static TParse ParseLong(const char* begin, const char* end, long& value);

private:
    static constexpr double kPowersOfTen[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
};
