#include "picture/TQuickLook.h"

#include "picture/TPixelPercentiles.h"
#include "picture/TPngStream.h"
#include "picture/TQuickLookLegend.h"
#include "text/TNumberFormatter.h"
#include "text/TNumberParser.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// The ramp's levels in the palette, after the legend's entries: as many as 8-bit indices leave.
constexpr int kLevels = 256 - TQuickLookLegend::kFirstColour;
constexpr size_t kMaxValueColours = 16;
constexpr double kLowPercent = 2;
constexpr double kHighPercent = 98;
constexpr float kNoData = std::numeric_limits<float>::quiet_NaN();
// The cells of a reduced grid pass through buffers of this many on their way to the blocks.
constexpr size_t kStagedCells = 512;

// A mean or a cell as a pixel: magnitudes beyond a float's range are drawn at its ends.
inline float PixelValue(double value)
{
    return static_cast<float>(std::min(std::max(value, -double(FLT_MAX)), double(FLT_MAX)));
}

// False for NaN and the infinities.
inline bool HoldsData(double value) { return std::fabs(value) <= DBL_MAX; }

// The cells' pixels (NaN where missing), for a grid not reduced. The compilers keep the scalar
// loop's comparisons as branches (they may trap), which mispredict on scattered missing cells: on
// x86-64 four cells go at a time through SSE2 instead, with the same results.
template <bool kMissing>
void ToPixels(const double* values, const unsigned char* missing, size_t count, float* out)
{
    size_t c = 0;
#ifdef __SSE2__
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffLL));
    const __m128d largest = _mm_set1_pd(DBL_MAX);
    const __m128d floatLow = _mm_set1_pd(-double(FLT_MAX));
    const __m128d floatHigh = _mm_set1_pd(double(FLT_MAX));
    const __m128 noData = _mm_set1_ps(kNoData);
    for (; c + 4 <= count; c += 4) {
        const __m128d a = _mm_loadu_pd(values + c);
        const __m128d b = _mm_loadu_pd(values + c + 2);
        const __m128d finiteA = _mm_cmple_pd(_mm_and_pd(a, magnitude), largest);
        const __m128d finiteB = _mm_cmple_pd(_mm_and_pd(b, magnitude), largest);
        __m128 data = _mm_shuffle_ps(_mm_castpd_ps(finiteA), _mm_castpd_ps(finiteB), _MM_SHUFFLE(2, 0, 2, 0));
        if (kMissing) {
            int bytes;
            std::memcpy(&bytes, missing + c, sizeof bytes);
            __m128i flags = _mm_cvtsi32_si128(bytes);
            flags = _mm_unpacklo_epi8(flags, flags);
            flags = _mm_unpacklo_epi16(flags, flags);  // each flag in all four bytes of its lane
            data = _mm_and_ps(data, _mm_castsi128_ps(_mm_cmpeq_epi32(flags, _mm_setzero_si128())));
        }
        const __m128 pixels = _mm_movelh_ps(_mm_cvtpd_ps(_mm_min_pd(_mm_max_pd(a, floatLow), floatHigh)),
                                            _mm_cvtpd_ps(_mm_min_pd(_mm_max_pd(b, floatLow), floatHigh)));
        _mm_storeu_ps(out + c, _mm_or_ps(_mm_and_ps(data, pixels), _mm_andnot_ps(data, noData)));
    }
#endif
    for (; c < count; ++c)
        out[c] = (!kMissing || missing[c] == 0) && HoldsData(values[c]) ? PixelValue(values[c]) : kNoData;
}

// Each cell's value where it holds data and 0 elsewhere, and 1 or 0 for whether it does: what the
// blocks of a reduced grid add up. Through SSE2 on x86-64, as ToPixels.
template <bool kMissing>
void ToHeld(const double* values, const unsigned char* missing, size_t count, double* data, double* held)
{
    size_t c = 0;
#ifdef __SSE2__
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffLL));
    const __m128d largest = _mm_set1_pd(DBL_MAX);
    const __m128d one = _mm_set1_pd(1.0);
    for (; c + 2 <= count; c += 2) {
        const __m128d a = _mm_loadu_pd(values + c);
        __m128d holds = _mm_cmple_pd(_mm_and_pd(a, magnitude), largest);
        if (kMissing) {
            const int bytes = missing[c] | missing[c + 1] << 8;
            __m128i flags = _mm_cvtsi32_si128(bytes);
            flags = _mm_unpacklo_epi8(flags, flags);
            flags = _mm_unpacklo_epi16(flags, flags);
            flags = _mm_unpacklo_epi32(flags, flags);  // each flag in all eight bytes of its lane
            holds = _mm_and_pd(holds, _mm_castsi128_pd(_mm_cmpeq_epi32(flags, _mm_setzero_si128())));
        }
        _mm_storeu_pd(data + c, _mm_and_pd(holds, a));
        _mm_storeu_pd(held + c, _mm_and_pd(holds, one));
    }
#endif
    for (; c < count; ++c) {
        const bool holds = (!kMissing || missing[c] == 0) && HoldsData(values[c]);
        data[c] = holds ? values[c] : 0.0;
        held[c] = holds ? 1.0 : 0.0;
    }
}

long BlockFactor(long columns, long rows)
{
    const long longer = std::max(columns, rows);
    return (longer + TQuickLook::kMaxSide - 1) / TQuickLook::kMaxSide;
}

#ifdef __SSE2__
// Sixteen palette indices from four groups of four levels (0 to 252) and of NaN flags: kFirstColour
// plus the level, or transparent where flagged.
inline void StoreIndices(const __m128i (&levels)[4], const __m128i (&clear)[4], unsigned char* out)
{
    const __m128i first = _mm_set1_epi8(static_cast<char>(TQuickLookLegend::kFirstColour));
    const __m128i transparent = _mm_set1_epi8(static_cast<char>(TQuickLookLegend::kTransparent));
    const __m128i indices = _mm_add_epi8(_mm_packus_epi16(_mm_packs_epi32(levels[0], levels[1]), _mm_packs_epi32(levels[2], levels[3])), first);
    const __m128i nan = _mm_packs_epi16(_mm_packs_epi32(clear[0], clear[1]), _mm_packs_epi32(clear[2], clear[3]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(_mm_andnot_si128(nan, indices), _mm_and_si128(nan, transparent)));
}
#endif

// The distinct values among the pixels (NaN aside) in the order found, up to kMaxValueColours + 1
// of them (more than kMaxValueColours means many). On x86-64 four pixels at a time are compared
// through SSE2 with the values found so far, which nearly always hold them all.
std::vector<float> FewValues(const float* pixels, size_t count)
{
    constexpr size_t most = kMaxValueColours;
    std::vector<float> values;
    auto take = [&values](float value) {
        if (value == value && std::find(values.begin(), values.end(), value) == values.end()) values.push_back(value);
    };
    size_t i = 0;
#ifdef __SSE2__
    __m128 known[most + 4];
    size_t knownCount = 0;
    for (; i + 4 <= count && values.size() <= most; i += 4) {
        const __m128 group = _mm_loadu_ps(pixels + i);
        __m128 found = _mm_cmpunord_ps(group, group);
        for (size_t k = 0; k < knownCount; ++k) found = _mm_or_ps(found, _mm_cmpeq_ps(group, known[k]));
        if (_mm_movemask_ps(found) == 15) continue;
        for (size_t k = 0; k < 4; ++k) take(pixels[i + k]);
        for (knownCount = 0; knownCount < values.size(); ++knownCount) known[knownCount] = _mm_set1_ps(values[knownCount]);
    }
#endif
    for (; i < count && values.size() <= most; ++i) take(pixels[i]);
    return values;
}

// The palette indices of pixels of a few values (at most kMaxValueColours): kFirstColour plus
// the number of the sorted distinct values below the pixel's, transparent for NaN. On x86-64
// sixteen pixels at a time through SSE2, counting the comparisons with each value.
void ValueIndices(const float* pixels, size_t count, const std::vector<float>& values, unsigned char* row)
{
    constexpr unsigned char kFirst = TQuickLookLegend::kFirstColour;
    size_t x = 0;
#ifdef __SSE2__
    __m128 sorted[kMaxValueColours];
    const size_t sortedCount = std::min(values.size(), kMaxValueColours);
    for (size_t k = 0; k < sortedCount; ++k) sorted[k] = _mm_set1_ps(values[k]);
    for (; x + 16 <= count; x += 16) {
        __m128i ranks[4];
        __m128i clear[4];
        for (int q = 0; q < 4; ++q) {
            const __m128 group = _mm_loadu_ps(pixels + x + 4 * q);
            __m128i rank = _mm_setzero_si128();
            for (size_t k = 0; k < sortedCount; ++k) rank = _mm_sub_epi32(rank, _mm_castps_si128(_mm_cmplt_ps(sorted[k], group)));
            ranks[q] = rank;
            clear[q] = _mm_castps_si128(_mm_cmpunord_ps(group, group));
        }
        StoreIndices(ranks, clear, row + x);
    }
#endif
    for (; x < count; ++x) {
        const float value = pixels[x];
        const size_t rank = static_cast<size_t>(std::lower_bound(values.begin(), values.end(), value) - values.begin());
        row[x] = value == value ? static_cast<unsigned char>(kFirst + rank) : TQuickLookLegend::kTransparent;
    }
}

// The palette indices of pixels on a ramp of levels from kFirstColour: (value - low) x scale cut
// to [0, top], NaN on level 0 and then transparent. Written so that NaN and 0 x inf land on level
// 0; on x86-64 sixteen pixels at a time through SSE2, with the same results.
void RampIndices(const float* pixels, size_t count, float low, float scale, float top, unsigned char* row)
{
    constexpr unsigned char kFirst = TQuickLookLegend::kFirstColour;
    size_t x = 0;
#ifdef __SSE2__
    const __m128 lows = _mm_set1_ps(low);
    const __m128 scales = _mm_set1_ps(scale);
    const __m128 tops = _mm_set1_ps(top);
    const __m128 zero = _mm_setzero_ps();
    for (; x + 16 <= count; x += 16) {
        __m128i levels[4];
        __m128i clear[4];
        for (int q = 0; q < 4; ++q) {
            const __m128 values = _mm_loadu_ps(pixels + x + 4 * q);
            // max returns its second operand where the first is NaN.
            const __m128 level = _mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_sub_ps(values, lows), scales), zero), tops);
            levels[q] = _mm_cvttps_epi32(level);
            clear[q] = _mm_castps_si128(_mm_cmpunord_ps(values, values));
        }
        StoreIndices(levels, clear, row + x);
    }
#endif
    for (; x < count; ++x) {
        const float value = pixels[x];
        float level = (value - low) * scale;
        level = level > 0 ? level : 0;
        level = level < top ? level : top;
        const unsigned char index = static_cast<unsigned char>(kFirst + static_cast<int>(level));
        row[x] = value == value ? index : TQuickLookLegend::kTransparent;
    }
}

}  // namespace

// How the pixels become palette indices, and the palette.
struct TQuickLook::TColouring {
    enum class TMode { NoData, Ramp, Constant, Values };
    TMode Mode = TMode::NoData;
    double Low = 0;   // Ramp: the ends; Constant: the value
    double High = 0;
    std::vector<float> Values;           // Values: the distinct values in ascending order
    std::vector<unsigned char> Palette;  // red, green, blue of each entry from 0
};

TQuickLook::TQuickLook(long columns, long rows, const TQuickLookOptions& options)
    : MbrLngColumns(columns),
      MbrLngRows(rows),
      MbrLngFactor(columns > 0 && rows > 0 ? BlockFactor(columns, rows) : 1),
      MbrLngMapWidth((columns + MbrLngFactor - 1) / MbrLngFactor),
      MbrLngMapHeight((rows + MbrLngFactor - 1) / MbrLngFactor),
      MbrOptions(options),
      MbrRamp(options.Ramp.empty() ? TColourRamp::DefaultName(options.Signed) : options.Ramp)
{
    if (columns < 1 || rows < 1) throw "A picture needs at least one column and one row in TQuickLook";
    if (options.HasRange &&
        !(std::isfinite(options.RangeLow) && std::isfinite(options.RangeHigh) && options.RangeLow < options.RangeHigh))
        throw "The colour range needs finite values, the first below the second, in TQuickLook";
    // Not value-initialised: every pixel is written once before it is read.
    MbrPtrPixels.reset(new float[static_cast<size_t>(MbrLngMapWidth) * static_cast<size_t>(MbrLngMapHeight)]);
    if (MbrLngFactor > 1) {
        MbrVecSums.assign(static_cast<size_t>(MbrLngMapWidth), 0.0);
        MbrVecCounts.assign(static_cast<size_t>(MbrLngMapWidth), 0.0);
        MbrVecData.resize(kStagedCells);
        MbrVecHeld.resize(kStagedCells);
    }
}

void TQuickLook::Add(const double* values, const unsigned char* missing, size_t count)
{
    const size_t total = static_cast<size_t>(MbrLngColumns) * static_cast<size_t>(MbrLngRows);
    if (count > total - MbrSizAdded) throw "More cells than the grid holds in TQuickLook";
    MbrSizAdded += count;
    const size_t factor = static_cast<size_t>(MbrLngFactor);
    while (count > 0) {
        const size_t column = static_cast<size_t>(MbrLngColumn);
        const size_t run = std::min(count, static_cast<size_t>(MbrLngColumns) - column);
        if (factor == 1) {
            float* out = MbrPtrPixels.get() + static_cast<size_t>(MbrLngRow) * static_cast<size_t>(MbrLngMapWidth) + column;
            if (missing == nullptr)
                ToPixels<false>(values, missing, run, out);
            else
                ToPixels<true>(values, missing, run, out);
        } else {
            AddToBlocks(values, missing, run, column);
        }
        values += run;
        if (missing != nullptr) missing += run;
        count -= run;
        MbrLngColumn += static_cast<long>(run);
        if (MbrLngColumn == MbrLngColumns) {
            MbrLngColumn = 0;
            ++MbrLngRow;
            if (factor > 1 && (MbrLngRow % MbrLngFactor == 0 || MbrLngRow == MbrLngRows)) FinishBlockRow();
        }
    }
}

void TQuickLook::AddToBlocks(const double* values, const unsigned char* missing, size_t count, size_t column)
{
    const size_t factor = static_cast<size_t>(MbrLngFactor);
    double* data = MbrVecData.data();
    double* held = MbrVecHeld.data();
    while (count > 0) {
        const size_t part = std::min(count, MbrVecData.size());
        if (missing == nullptr)
            ToHeld<false>(values, missing, part, data, held);
        else
            ToHeld<true>(values, missing, part, data, held);
        // Block by block, so that the block of a cell is never divided out.
        size_t block = column / factor;
        size_t take = std::min(factor - (column - block * factor), part);
        for (size_t c = 0; c < part; ++block, take = std::min(factor, part - c)) {
            double sum = 0;
            double cells = 0;
            for (const size_t end = c + take; c < end; ++c) {
                sum += data[c];
                cells += held[c];
            }
            MbrVecSums[block] += sum;
            MbrVecCounts[block] += cells;
        }
        values += part;
        if (missing != nullptr) missing += part;
        count -= part;
        column += part;
    }
}

void TQuickLook::FinishBlockRow()
{
    float* out = MbrPtrPixels.get() + static_cast<size_t>((MbrLngRow - 1) / MbrLngFactor) * static_cast<size_t>(MbrLngMapWidth);
    for (size_t block = 0; block < MbrVecSums.size(); ++block) {
        out[block] = MbrVecCounts[block] > 0 ? PixelValue(MbrVecSums[block] / MbrVecCounts[block]) : kNoData;
        MbrVecSums[block] = 0;
        MbrVecCounts[block] = 0;
    }
}

TQuickLook::TColouring TQuickLook::Colouring() const
{
    TColouring colouring;
    const float* pixels = MbrPtrPixels.get();
    const size_t count = static_cast<size_t>(MbrLngMapWidth) * static_cast<size_t>(MbrLngMapHeight);
    colouring.Palette = {0, 0, 0, 255, 255, 255, 0, 0, 0};  // transparent, paper, ink
    auto addColour = [&colouring](TRgb colour) {
        colouring.Palette.insert(colouring.Palette.end(), {colour.Red, colour.Green, colour.Blue});
    };

    if (MbrOptions.WholeNumbers) {
        std::vector<float>& values = colouring.Values;
        values = FewValues(pixels, count);
        const bool few = values.size() <= kMaxValueColours;
        if (few && !values.empty()) {
            colouring.Mode = TColouring::TMode::Values;
            std::sort(values.begin(), values.end());
            // Evenly spaced over the ramp in the order of the values, so that neighbours differ
            // as much as they can; on a diverging ramp by value, so that 0 stays neutral; by value
            // also within a given range.
            double magnitude = 0;
            for (float value : values) magnitude = std::max(magnitude, std::fabs(double(value)));
            for (size_t k = 0; k < values.size(); ++k) {
                double position;
                if (MbrOptions.HasRange)
                    position = (values[k] - MbrOptions.RangeLow) / (MbrOptions.RangeHigh - MbrOptions.RangeLow);
                else if (MbrRamp.IsDiverging())
                    position = magnitude > 0 ? 0.5 + values[k] / (2 * magnitude) : 0.5;
                else
                    position = values.size() > 1 ? double(k) / double(values.size() - 1) : 0.5;
                addColour(MbrRamp.At(position));
            }
            return colouring;
        }
        values.clear();
    }

    double low = MbrOptions.RangeLow;
    double high = MbrOptions.RangeHigh;
    if (!MbrOptions.HasRange) {
        if (TPixelPercentiles::Select(pixels, count, kLowPercent, kHighPercent, low, high) == 0) return colouring;
        if (MbrRamp.IsDiverging()) {
            high = std::max(std::fabs(low), std::fabs(high));
            low = -high;
        }
    }
    colouring.Low = low;
    colouring.High = high;
    if (low == high) {
        colouring.Mode = TColouring::TMode::Constant;
        addColour(MbrRamp.At(0.5));
        return colouring;
    }
    colouring.Mode = TColouring::TMode::Ramp;
    for (int level = 0; level < kLevels; ++level) addColour(MbrRamp.Entry((level * 255 + (kLevels - 1) / 2) / (kLevels - 1)));
    return colouring;
}

void TQuickLook::Write(TByteSink& sink) const
{
    if (MbrSizAdded != static_cast<size_t>(MbrLngColumns) * static_cast<size_t>(MbrLngRows))
        throw "Picture written before every cell was added in TQuickLook";
    const TColouring colouring = Colouring();
    using TMode = TColouring::TMode;

    TQuickLookLegend legend(MbrOptions.Statistic);
    std::vector<std::pair<std::string, std::string>> texts = {{"Software", "gridmean"}};
    if (!MbrOptions.Statistic.empty()) texts.push_back({"Statistic", MbrOptions.Statistic});
    texts.push_back({"ncols", std::to_string(MbrLngColumns)});
    texts.push_back({"nrows", std::to_string(MbrLngRows)});
    const std::pair<const char*, const std::string*> georeference[] = {{"xllcorner", &MbrOptions.XllCorner},
                                                                      {"yllcorner", &MbrOptions.YllCorner},
                                                                      {"cellsize", &MbrOptions.CellSize},
                                                                      {"NODATA_value", &MbrOptions.NoDataValue}};
    for (const auto& entry : georeference)
        if (!entry.second->empty()) texts.push_back({entry.first, *entry.second});
    double cellSize = 0;
    if (MbrLngFactor > 1) {
        texts.push_back({"Block size", std::to_string(MbrLngFactor)});
        const std::string& size = MbrOptions.CellSize;
        if (TNumberParser::ParseDouble(size.data(), size.data() + size.size(), cellSize) == TNumberParser::TParse::Ok)
            texts.push_back({"Pixel size", TQuickLookLegend::Number(cellSize * static_cast<double>(MbrLngFactor), 15)});
    }
    texts.push_back({"Colour ramp", MbrRamp.Name()});
    switch (colouring.Mode) {
    case TMode::NoData:
        break;
    case TMode::Ramp:
        legend.SetRamp(colouring.Low, colouring.High, kLevels);
        texts.push_back({"Colour range", TQuickLookLegend::Number(colouring.Low, 9) + " " + TQuickLookLegend::Number(colouring.High, 9)});
        break;
    case TMode::Constant:
        legend.AddSwatch(colouring.Low, TQuickLookLegend::kFirstColour);
        texts.push_back({"Colour range", TQuickLookLegend::Number(colouring.Low, 9) + " " + TQuickLookLegend::Number(colouring.Low, 9)});
        break;
    case TMode::Values: {
        std::string list;
        for (size_t k = 0; k < colouring.Values.size(); ++k) {
            legend.AddSwatch(colouring.Values[k], static_cast<unsigned char>(TQuickLookLegend::kFirstColour + k));
            list += (k == 0 ? "" : " ") + TQuickLookLegend::Number(colouring.Values[k], 9);
        }
        texts.push_back({"Colour values", list});
        break;
    }
    }

    const long width = std::max(MbrLngMapWidth, std::min(legend.NeededWidth(), kMaxSide));
    legend.Draw(width);
    // A few colours in patches are runs within the rows; a ramp's levels change little from one
    // row to the next.
    const TPngStream::TFilter filter = colouring.Mode == TMode::Values ? TPngStream::TFilter::None : TPngStream::TFilter::Up;
    TPngStream png(sink, static_cast<uint32_t>(width), static_cast<uint32_t>(MbrLngMapHeight + legend.Height()), filter);
    for (const auto& text : texts) png.Text(text.first, text.second);
    png.Palette(colouring.Palette.data(), colouring.Palette.size() / 3, 1);

    const float low = static_cast<float>(colouring.Low);
    const float scale = static_cast<float>(kLevels / (colouring.High - colouring.Low));
    const float top = static_cast<float>(kLevels - 1);
    constexpr unsigned char kFirst = TQuickLookLegend::kFirstColour;
    const size_t mapWidth = static_cast<size_t>(MbrLngMapWidth);
    for (long y = 0; y < MbrLngMapHeight; ++y) {
        const float* pixels = MbrPtrPixels.get() + static_cast<size_t>(y) * mapWidth;
        unsigned char* row = png.RowBuffer();
        switch (colouring.Mode) {
        case TMode::NoData:
            std::fill(row, row + mapWidth, TQuickLookLegend::kTransparent);
            break;
        case TMode::Ramp:
            RampIndices(pixels, mapWidth, low, scale, top, row);
            break;
        case TMode::Constant:
            for (size_t x = 0; x < mapWidth; ++x) row[x] = pixels[x] == pixels[x] ? kFirst : TQuickLookLegend::kTransparent;
            break;
        case TMode::Values:
            ValueIndices(pixels, mapWidth, colouring.Values, row);
            break;
        }
        std::fill(row + mapWidth, row + width, TQuickLookLegend::kTransparent);
        png.WriteRow();
    }
    for (long y = 0; y < legend.Height(); ++y) {
        std::copy(legend.Row(y), legend.Row(y) + width, png.RowBuffer());
        png.WriteRow();
    }
    png.Finish();
}

void TQuickLook::SetGeoreference(const std::string& xllCorner, const std::string& yllCorner,
                                 const std::string& cellSize, const std::string& noData)
{
    MbrOptions.XllCorner = xllCorner;
    MbrOptions.YllCorner = yllCorner;
    MbrOptions.CellSize = cellSize;
    MbrOptions.NoDataValue = noData;
}
