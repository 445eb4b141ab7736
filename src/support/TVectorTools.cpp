#include "support/TVectorTools.h"

#include "text/TNumberParser.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

const char* const kProductLengths = "Length of vectors does not match in TVectorTools::VectorProduct";

inline bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

inline bool IsHexDigit(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// White space as the "C" locale's isspace sees it.
inline bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The text up to its first NUL, as atoi and atof see it, with leading white space skipped.
const char* SkipSpace(const std::string& text, const char*& end)
{
    const char* p = text.c_str();
    end = p + std::strlen(p);
    while (p != end && IsSpace(*p)) ++p;
    return p;
}

int TextToInt(const std::string& text)
{
    const char* end = nullptr;
    const char* start = SkipSpace(text, end);
    const char* p = start;
    if (p != end && (*p == '+' || *p == '-')) ++p;
    const char* digits = p;
    while (p != end && IsDigit(*p)) ++p;
    if (p == digits) return 0;
    long value = 0;
    if (TNumberParser::ParseLong(start, p, value) == TNumberParser::TParse::TooLarge)
        return *start == '-' ? INT_MIN : INT_MAX;
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

// from_chars leaves a hexadecimal value too large or too small for a double unset; the binary
// position of its leading non-zero digit plus its exponent tells which of the two it was.
double HexOutOfRange(const char* p, const char* end)
{
    long lead = 0;
    bool nonZero = false;
    for (; p != end && IsHexDigit(*p); ++p) {
        if (*p != '0') nonZero = true;
        if (nonZero) lead += 4;
    }
    if (p != end && *p == '.') {
        for (++p; p != end && IsHexDigit(*p) && !nonZero; ++p) {
            if (*p != '0') nonZero = true;
            else lead -= 4;
        }
    }
    while (p != end && IsHexDigit(*p)) ++p;
    long exponent = 0;
    if (p != end && (*p == 'p' || *p == 'P')) {
        ++p;
        bool negative = false;
        if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
        for (; p != end && IsDigit(*p); ++p)
            if (exponent < 100000) exponent = exponent * 10 + (*p - '0');
        if (negative) exponent = -exponent;
    }
    return lead + exponent > 0 ? HUGE_VAL : 0.0;
}

double TextToDouble(const std::string& text)
{
    const char* end = nullptr;
    const char* start = SkipSpace(text, end);
    const char* p = start;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const double sign = negative ? -1.0 : 1.0;

    // Hexadecimal: "0x" counts only when a hexadecimal digit follows, else the number is the "0".
    if (end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        (IsHexDigit(p[2]) || (p[2] == '.' && end - p >= 4 && IsHexDigit(p[3])))) {
        double value = 0;
        auto result = std::from_chars(p + 2, end, value, std::chars_format::hex);
        if (result.ec == std::errc::result_out_of_range) value = HexOutOfRange(p + 2, result.ptr);
        return sign * value;
    }

    // Decimal: the longest prefix of digits, point, digits and an exponent that has digits.
    const char* q = p;
    bool anyDigit = false;
    for (; q != end && IsDigit(*q); ++q) anyDigit = true;
    if (q != end && *q == '.')
        for (++q; q != end && IsDigit(*q); ++q) anyDigit = true;
    if (anyDigit) {
        if (q != end && (*q == 'e' || *q == 'E')) {
            const char* e = q + 1;
            if (e != end && (*e == '+' || *e == '-')) ++e;
            if (e != end && IsDigit(*e)) {
                while (e != end && IsDigit(*e)) ++e;
                q = e;
            }
        }
        double value = 0;
        if (TNumberParser::ParseDouble(p, q, value) == TNumberParser::TParse::TooLarge) value = HUGE_VAL;
        return sign * value;
    }

    // Infinity and NaN; from_chars would also take a second sign, which atof refuses.
    if (p != end && (*p == 'i' || *p == 'I' || *p == 'n' || *p == 'N')) {
        double value = 0;
        if (std::from_chars(p, end, value).ec == std::errc()) return sign * value;
    }
    return 0.0;
}

}  // namespace

double TVectorTools::SumVector(std::vector<double> VecValues)
{
    double sum = 0.0;
    for (double value : VecValues) sum += value;
    return sum;
}

double TVectorTools::VectorMean(std::vector<double> VecValues)
{
    const double count = static_cast<double>(VecValues.size());
    return SumVector(std::move(VecValues)) / count;
}

double TVectorTools::VectorWeightedMean(std::vector<double> VecValues, std::vector<double> VecWeights)
{
    if (VecValues.size() != VecWeights.size())
        throw "Length of value and weight vectors do not match in TVectorTools::WeightedMean";
    const double count = static_cast<double>(VecValues.size());
    return SumVector(VectorProduct(std::move(VecValues), std::move(VecWeights))) / count;
}

bool TVectorTools::HasValue(std::vector<double> VecValues, double DblValue)
{
    return std::find(VecValues.begin(), VecValues.end(), DblValue) != VecValues.end();
}

bool TVectorTools::HasValue(std::vector<int> VecValues, int IntValue)
{
    return std::find(VecValues.begin(), VecValues.end(), IntValue) != VecValues.end();
}

std::vector<int> TVectorTools::StringToInt(std::vector<std::string> VecTexts)
{
    std::vector<int> values;
    values.reserve(VecTexts.size());
    for (const std::string& text : VecTexts) values.push_back(TextToInt(text));
    return values;
}

std::vector<double> TVectorTools::StringToDouble(std::vector<std::string> VecTexts)
{
    std::vector<double> values;
    values.reserve(VecTexts.size());
    for (const std::string& text : VecTexts) values.push_back(TextToDouble(text));
    return values;
}

std::vector<double> TVectorTools::IntToDouble(std::vector<int> VecValues)
{
    return std::vector<double>(VecValues.begin(), VecValues.end());
}

std::vector<double> TVectorTools::VectorSeries(double DblStart, double DblEnd, double DblStep)
{
    if (!(DblStep > 0)) throw "Step must be a positive number in TVectorTools::VectorSeries";
    const char* const neverEnds = "Series does not end in TVectorTools::VectorSeries";
    std::vector<double> series;
    if (!(DblStart <= DblEnd)) return series;
    if (std::isinf(DblEnd)) throw neverEnds;
    for (double term = DblStart; term <= DblEnd;) {
        series.push_back(term);
        const double next = term + DblStep;
        // A step lost in the rounding of a large term would repeat that term without end.
        if (next == term) throw neverEnds;
        term = next;
    }
    return series;
}

std::vector<double> TVectorTools::VectorProduct(std::vector<double> VecA, std::vector<double> VecB)
{
    if (VecA.size() != VecB.size()) throw kProductLengths;
    for (size_t i = 0; i < VecA.size(); ++i) VecA[i] *= VecB[i];
    return VecA;
}

double TVectorTools::Gradient(std::vector<double> VecX, std::vector<double> VecY)
{
    if (VecX.size() != VecY.size()) throw kProductLengths;
    return Slope(VecX.data(), VecY.data(), VecY.size());
}

double TVectorTools::Slope(const double* PtrX, const double* PtrY, size_t SizCount)
{
    // One pass, but each of the four sums runs in index order from 0.0 as the sums of separate
    // vectors would, so the slope is the same to the last bit.
    double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (size_t i = 0; i < SizCount; ++i) {
        sx += PtrX[i];
        sy += PtrY[i];
        sxx += PtrX[i] * PtrX[i];
        sxy += PtrX[i] * PtrY[i];
    }
    const double n = static_cast<double>(SizCount);
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}
