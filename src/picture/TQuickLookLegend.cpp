#include "picture/TQuickLookLegend.h"

#include "picture/TBitmapFont.h"
#include "text/TNumberFormatter.h"

#include <algorithm>

namespace {

constexpr long kMargin = 4;
constexpr long kLineGap = 3;
// The first line below the name: the bar or the swatches.
constexpr long kSecondLine = kMargin + TBitmapFont::kHeight + kLineGap;
constexpr long kBarHeight = 10;  // with its frame
constexpr long kSwatchSide = 11;  // with its frame
constexpr long kSwatchLabelGap = 3;
constexpr long kSwatchGap = 10;
constexpr long kSwatchRowPitch = kSwatchSide + 3;
constexpr long kLabelGap = 12;

}  // namespace

TQuickLookLegend::TQuickLookLegend(const std::string& statistic) : MbrStgName(statistic) {}

std::string TQuickLookLegend::Number(double value, int digits)
{
    char text[TNumberFormatter::kMaxDoubleText];
    // No "-0" under a ramp.
    char* end = TNumberFormatter::FormatDouble(text, value == 0 ? 0.0 : value, TNumberFormatter::TStyle::General, digits);
    return std::string(text, end);
}

void TQuickLookLegend::SetRamp(double low, double high, int levels)
{
    MbrBlnRamp = true;
    MbrIntLevels = levels;
    MbrStgLow = Number(low, 4);
    MbrStgHigh = Number(high, 4);
}

void TQuickLookLegend::AddSwatch(double value, unsigned char index)
{
    MbrVecSwatches.push_back(TSwatch{Number(value, 7), index});
}

long TQuickLookLegend::SwatchPitch() const
{
    long label = 0;
    for (const TSwatch& swatch : MbrVecSwatches) label = std::max(label, TBitmapFont::TextWidth(swatch.Label));
    return kSwatchSide + kSwatchLabelGap + label + kSwatchGap;
}

long TQuickLookLegend::NeededWidth() const
{
    long content = TBitmapFont::TextWidth(MbrStgName);
    if (MbrBlnRamp) {
        content = std::max(content, MbrIntLevels + 2L);
        content = std::max(content, TBitmapFont::TextWidth(MbrStgLow) + kLabelGap + TBitmapFont::TextWidth(MbrStgHigh));
    } else if (!MbrVecSwatches.empty()) {
        content = std::max(content, SwatchPitch() - kSwatchGap);
    } else {
        content = std::max(content, TBitmapFont::TextWidth("no data"));
    }
    return std::max(kMinimumWidth, 2 * kMargin + content);
}

void TQuickLookLegend::Frame(long x, long y, long width, long height)
{
    for (long i = 0; i < width; ++i) {
        MbrVecRaster[y * MbrLngWidth + x + i] = kInk;
        MbrVecRaster[(y + height - 1) * MbrLngWidth + x + i] = kInk;
    }
    for (long j = 0; j < height; ++j) {
        MbrVecRaster[(y + j) * MbrLngWidth + x] = kInk;
        MbrVecRaster[(y + j) * MbrLngWidth + x + width - 1] = kInk;
    }
}

void TQuickLookLegend::Draw(long width)
{
    MbrLngWidth = std::max(width, kMinimumWidth);
    const long pitch = SwatchPitch();
    const long perRow = std::max(1L, (MbrLngWidth - 2 * kMargin + kSwatchGap) / pitch);
    const long swatchRows = (static_cast<long>(MbrVecSwatches.size()) + perRow - 1) / perRow;
    if (MbrBlnRamp)
        MbrLngHeight = kSecondLine + kBarHeight + 2 + TBitmapFont::kHeight + kMargin;
    else if (!MbrVecSwatches.empty())
        MbrLngHeight = kSecondLine + swatchRows * kSwatchRowPitch + kMargin - 3;
    else
        MbrLngHeight = kSecondLine + TBitmapFont::kHeight + kMargin;
    MbrVecRaster.assign(static_cast<size_t>(MbrLngWidth * MbrLngHeight), kPaper);
    unsigned char* raster = MbrVecRaster.data();
    TBitmapFont::Draw(raster, MbrLngWidth, MbrLngHeight, kMargin, kMargin, MbrStgName, kInk);

    if (MbrBlnRamp) {
        Frame(kMargin, kSecondLine, MbrIntLevels + 2, kBarHeight);
        for (long y = kSecondLine + 1; y < kSecondLine + kBarHeight - 1; ++y)
            for (int level = 0; level < MbrIntLevels; ++level)
                raster[y * MbrLngWidth + kMargin + 1 + level] = static_cast<unsigned char>(kFirstColour + level);
        const long labels = kSecondLine + kBarHeight + 2;
        TBitmapFont::Draw(raster, MbrLngWidth, MbrLngHeight, kMargin, labels, MbrStgLow, kInk);
        const long right = kMargin + MbrIntLevels + 2 - TBitmapFont::TextWidth(MbrStgHigh);
        TBitmapFont::Draw(raster, MbrLngWidth, MbrLngHeight, right, labels, MbrStgHigh, kInk);
    } else if (!MbrVecSwatches.empty()) {
        for (size_t k = 0; k < MbrVecSwatches.size(); ++k) {
            const long x = kMargin + static_cast<long>(k) % perRow * pitch;
            const long y = kSecondLine + static_cast<long>(k) / perRow * kSwatchRowPitch;
            Frame(x, y, kSwatchSide, kSwatchSide);
            for (long j = 1; j < kSwatchSide - 1; ++j)
                for (long i = 1; i < kSwatchSide - 1; ++i)
                    raster[(y + j) * MbrLngWidth + x + i] = MbrVecSwatches[k].Index;
            TBitmapFont::Draw(raster, MbrLngWidth, MbrLngHeight, x + kSwatchSide + kSwatchLabelGap, y + 1,
                              MbrVecSwatches[k].Label, kInk);
        }
    } else {
        TBitmapFont::Draw(raster, MbrLngWidth, MbrLngHeight, kMargin, kSecondLine, "no data", kInk);
    }
}
