#include "files/TGridHeaderText.h"

#include "files/TGridFormat.h"
#include "text/TNumberFormatter.h"
#include "text/TNumberParser.h"

namespace {

// Georeferencing keeps 15 significant digits: six would move a UTM grid by metres.
constexpr int kGeoDigits = 15;

void Append(std::string& text, double value, int width)
{
    char digits[TNumberFormatter::kMaxDoubleText];
    const char* end = TNumberFormatter::FormatDouble(digits, value, TNumberFormatter::TStyle::General, kGeoDigits);
    for (long pad = width - (end - digits); pad > 0; --pad) text += ' ';
    text.append(digits, static_cast<size_t>(end - digits));
}

}  // namespace

std::string TGridHeaderText::Geometry(long columns, long rows, double xllCorner, double yllCorner, double cellSize)
{
    // Each tag is followed by one blank; the corners are right-aligned in 8 characters.
    std::string text = std::string(TGridFormat::kNcols) + " " + std::to_string(columns) + "\n" + TGridFormat::kNrows +
        " " + std::to_string(rows) + "\n" + TGridFormat::kXllCorner + " ";
    Append(text, xllCorner, 8);
    text = text + "\n" + TGridFormat::kYllCorner + " ";
    Append(text, yllCorner, 8);
    text = text + "\n" + TGridFormat::kCellSize + " ";
    Append(text, cellSize, 0);
    text += '\n';
    return text;
}

std::string TGridHeaderText::GeoNumber(double value)
{
    std::string text;
    Append(text, value, 0);
    return text;
}

std::string TGridHeaderText::ExactNumber(double value)
{
    // Six digits as cells are written by default, more only where the value needs them. A text
    // that does not read back (rounded up beyond the largest double) needs more digits too; 17
    // always read back, and are the text of NaN and the infinities as any precision is.
    char digits[TNumberFormatter::kMaxDoubleText];
    for (int precision = 6;; ++precision) {
        const char* end = TNumberFormatter::FormatDouble(digits, value, TNumberFormatter::TStyle::General, precision);
        double back = 0;
        if (precision == 17 || (TNumberParser::ParseDouble(digits, end, back) == TNumberParser::TParse::Ok && back == value))
            return std::string(digits, static_cast<size_t>(end - digits));
    }
}
