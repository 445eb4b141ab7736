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
        const TDecimalScan scan = ScanDecimal(text);
        if (scan.Count == 0 || scan.Count > 15) return nullptr;
        value = ShortValue(scan);
        return scan.End;
    }
    // As ParseShortDecimal for any number of digits (the 20 digits of a float written with %.20g),
    // with the value ParseDouble gives. Null also for a value too large for a double and for one
    // whose digits lie too near a midpoint between two doubles to be read quickly.
    static const char* ParseDecimal(const char* text, double& value)
    {
        const TDecimalScan scan = ScanDecimal(text);
        if (scan.Count == 0) return nullptr;
        if (scan.Count > 15) return ParseLongDecimal(scan, value);
        value = ShortValue(scan);
        return scan.End;
    }
    // What ParseDouble accepts, and also nan in any case with an optional sign (a quiet NaN), and a
    // number whose one decimal separator is a comma ("0,3") when it has no point.
    static TParse ParseDoubleLenient(const char* begin, const char* end, double& value);
    // An optional sign and decimal digits; a value outside the range of long gives TooLarge.
    static TParse ParseLong(const char* begin, const char* end, long& value);

private:
    struct TDecimalScan {
        const char* Digits;  // after the sign
        const char* End;
        uint64_t Value;  // the digits as an integer, exact for up to 19 of them
        long Count;      // digits, the point not counted
        long Decimals;   // digits after the point
        bool Negative;
    };
    static TDecimalScan ScanDecimal(const char* text)
    {
        TDecimalScan scan;
        scan.Negative = *text == '-';
        if (scan.Negative || *text == '+') ++text;
        scan.Digits = text;
        uint64_t digits = 0;
        while (static_cast<unsigned char>(*text - '0') < 10) digits = digits * 10 + static_cast<unsigned>(*text++ - '0');
        scan.Count = text - scan.Digits;
        scan.Decimals = 0;
        if (*text == '.') {
            const char* fraction = ++text;
            while (static_cast<unsigned char>(*text - '0') < 10)
                digits = digits * 10 + static_cast<unsigned>(*text++ - '0');
            scan.Decimals = text - fraction;
            scan.Count += scan.Decimals;
        }
        scan.Value = digits;
        scan.End = text;
        return scan;
    }
    static double ShortValue(const TDecimalScan& scan)
    {
        double magnitude = static_cast<double>(scan.Value);
        if (scan.Decimals > 0) magnitude /= kPowersOfTen[scan.Decimals];
        return scan.Negative ? -magnitude : magnitude;
    }
    // ParseDecimal for more than 15 digits.
    static const char* ParseLongDecimal(const TDecimalScan& scan, double& value);

    static constexpr double kPowersOfTen[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
};
