#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

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
        // Written out on its own: the reader's hottest loop, which a scan kept for longer
        // numbers would slow by a tenth.
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
    // As ParseShortDecimal for any number of digits (the 20 digits of a float written with %.20g),
    // with the value ParseDouble gives. Null also for a value too large for a double and for one
    // whose digits lie too near a midpoint between two doubles to be read quickly. The bytes up to
    // `limit` (before it, or after the number's end) must be readable: they are read eight at a time.
    static const char* ParseDecimal(const char* text, const char* limit, double& value)
    {
        const TDecimalScan scan = ScanDecimal(text, limit);
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
    // Reads the digits at `text` on: eight at a time while all of them are digits and lie before
    // `limit`, then one at a time. The integral digits, few in grids, are read one at a time.
    static const char* ScanDigits(const char* text, const char* limit, uint64_t& digits)
    {
        // The last of the eight first, which a short number's fraction does not reach.
        for (; limit - text >= 8 && static_cast<unsigned char>(text[7] - '0') < 10; text += 8) {
            uint64_t eight;
            std::memcpy(&eight, text, sizeof eight);
            if constexpr (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__) eight = __builtin_bswap64(eight);
            // Each byte from '0' to '9': its high nibble 3, and no carry out of its low nibble plus 6.
            constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
            if (((eight & kHigh) | (((eight + 0x0606060606060606) & kHigh) >> 4)) != 0x3333333333333333) break;
            // The eight digit values combined in pairs, fours, then all eight: d0 is the first.
            eight -= 0x3030303030303030;
            eight = eight * 10 + (eight >> 8);
            constexpr uint64_t kPairs = 0x000000FF000000FF;
            eight = ((eight & kPairs) * (100 + (uint64_t(1000000) << 32)) +
                     ((eight >> 16) & kPairs) * (1 + (uint64_t(10000) << 32))) >> 32;
            digits = digits * 100000000 + static_cast<uint32_t>(eight);
        }
        while (static_cast<unsigned char>(*text - '0') < 10) digits = digits * 10 + static_cast<unsigned>(*text++ - '0');
        return text;
    }
    static TDecimalScan ScanDecimal(const char* text, const char* limit)
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
            text = ScanDigits(text, limit, digits);
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
