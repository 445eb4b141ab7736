#include "picture/TQuickLook.h"

#include "picture/PngDecoding.h"
#include "picture/TColourRamp.h"
#include "picture/TQuickLookLegend.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
const TRgba kClear{0, 0, 0, 0};
const TRgba kInk{0, 0, 0, 255};

struct TCells {
    long Columns;
    long Rows;
    std::vector<double> Values;
    std::vector<unsigned char> Missing;  // empty: none flagged
};

TCells Filled(long columns, long rows, double value)
{
    return TCells{columns, rows, std::vector<double>(size_t(columns) * size_t(rows), value), {}};
}

TQuickLookOptions Options(const std::string& ramp = "", const std::string& statistic = "mean")
{
    TQuickLookOptions options;
    options.Ramp = ramp;
    options.Statistic = statistic;
    options.XllCorner = "440720.5";
    options.YllCorner = "3750120.25";
    options.CellSize = "30";
    options.NoDataValue = "-9999";
    return options;
}

// The PNG of the cells, added in runs of `run` cells (whole rows for 0).
std::string PictureBytes(const TCells& cells, const TQuickLookOptions& options, size_t run = 0)
{
    TQuickLook picture(cells.Columns, cells.Rows, options);
    const size_t step = run > 0 ? run : size_t(cells.Columns);
    for (size_t c = 0; c < cells.Values.size(); c += step) {
        const size_t count = std::min(step, cells.Values.size() - c);
        picture.Add(cells.Values.data() + c, cells.Missing.empty() ? nullptr : cells.Missing.data() + c, count);
    }
    TMemorySink sink;
    picture.Write(sink);
    return sink.Bytes;
}

TDecodedPng Picture(const TCells& cells, const TQuickLookOptions& options)
{
    TDecodedPng decoded = DecodePng(PictureBytes(cells, options));
    EXPECT_TRUE(decoded.Ok) << "libpng could not decode the picture";
    return decoded;
}

TRgba Opaque(TRgb colour) { return TRgba{colour.Red, colour.Green, colour.Blue, 255}; }

// What numpy's default percentile gives: linear interpolation between the closest ranks.
double NumpyPercentile(std::vector<double> values, double percent)
{
    std::sort(values.begin(), values.end());
    const double position = double(values.size() - 1) * (percent / 100);
    const size_t below = size_t(std::floor(position));
    if (below + 1 >= values.size()) return values.back();
    const double t = position - double(below);
    const double a = values[below];
    const double b = values[below + 1];
    return t >= 0.5 ? b - (b - a) * (1 - t) : a + (b - a) * t;
}

// The first row, from the top, whose pixels are all opaque: where the legend strip begins.
unsigned StripTop(const TDecodedPng& png)
{
    for (unsigned y = 0; y < png.Height; ++y) {
        bool opaque = true;
        for (unsigned x = 0; x < png.Width && opaque; ++x) opaque = png.At(x, y).Alpha == 255;
        if (opaque) return y;
    }
    return png.Height;
}

}  // namespace

TEST(QuickLook, SizeIsOnePixelPerCellUpTo2048AndTheLegendWidthAtLeast)
{
    SKIP_WITHOUT_LIBPNG();
    struct TCase {
        long Columns, Rows;
        long Factor, MapWidth, MapHeight;
    };
    const TCase cases[] = {
        {1, 1, 1, 1, 1},          {7, 3, 1, 7, 3},           {2048, 5, 1, 2048, 5},  {2049, 5, 2, 1025, 3},
        {5000, 300, 3, 1667, 100}, {300, 5000, 3, 100, 1667}, {6144, 2, 3, 2048, 1},  {6145, 2, 4, 1537, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Columns) + " x " + std::to_string(c.Rows));
        // No data anywhere: the map is clear, the legend strip under it opaque.
        const TCells cells = Filled(c.Columns, c.Rows, kNaN);
        TQuickLook picture(c.Columns, c.Rows, Options());
        EXPECT_EQ(picture.Factor(), c.Factor);
        EXPECT_EQ(picture.MapWidth(), c.MapWidth);
        EXPECT_EQ(picture.MapHeight(), c.MapHeight);
        const TDecodedPng png = Picture(cells, Options());
        EXPECT_EQ(png.Width, unsigned(std::max(c.MapWidth, 263L)));
        EXPECT_EQ(StripTop(png), unsigned(c.MapHeight));
        EXPECT_GT(png.Height, unsigned(c.MapHeight) + TBitmapFont::kHeight);
        for (unsigned y = StripTop(png); y < png.Height; ++y)
            for (unsigned x = 0; x < png.Width; ++x) ASSERT_EQ(png.At(x, y).Alpha, 255);
        EXPECT_EQ(png.ColourType, 3);  // palette
        EXPECT_EQ(png.BitDepth, 8);
        EXPECT_TRUE(png.ShowsText("no data", kInk, png.Height - 20));
    }
}

TEST(QuickLook, MissingCellsAndOnlyThoseAreClear)
{
    SKIP_WITHOUT_LIBPNG();
    // Rows of 18: sixteen pixels at a time, then two one by one.
    TCells cells{18, 4, {}, {}};
    for (int c = 0; c < 72; ++c) cells.Values.push_back(c * 1.5 - 7);
    cells.Missing.assign(72, 0);
    cells.Missing[0] = cells.Missing[11] = cells.Missing[35] = cells.Missing[71] = 1;
    cells.Values[5] = kNaN;
    cells.Values[17] = kNaN;
    cells.Values[40] = kInfinity;
    cells.Values[41] = -kInfinity;
    cells.Values[53] = -9999;  // a value like any other unless flagged
    const TDecodedPng png = Picture(cells, Options());
    for (int c = 0; c < 72; ++c) {
        const bool missing = c == 0 || c == 11 || c == 35 || c == 71 || c == 5 || c == 17 || c == 40 || c == 41;
        EXPECT_EQ(png.At(c % 18, c / 18).Alpha, missing ? 0 : 255) << "cell " << c;
    }
    // Beyond the map, beside it, nothing is drawn.
    EXPECT_EQ(png.At(18, 0), kClear);
    EXPECT_EQ(png.At(262, 3), kClear);
}

TEST(QuickLook, RampEndsAreTheSecondAndNinetyEighthPercentilesOrTheGivenRange)
{
    SKIP_WITHOUT_LIBPNG();
    // 0 to 99 with two outliers: without the percentiles they would squeeze the rest into a few
    // colours. Rows of 20: sixteen pixels at a time, then four one by one.
    TCells cells{20, 5, {}, {}};
    for (int k = 0; k < 100; ++k) cells.Values.push_back(k);
    cells.Values[3] = -1e6;
    cells.Values[96] = 1e9;
    const double low = NumpyPercentile(cells.Values, 2);
    const double high = NumpyPercentile(cells.Values, 98);
    ASSERT_LT(low, 2);
    ASSERT_GT(high, 97);
    for (const std::string& name : TColourRamp::Names()) {
        SCOPED_TRACE(name);
        const TColourRamp ramp(name);
        const TDecodedPng png = Picture(cells, Options(name));
        const double spanLow = ramp.IsDiverging() ? -std::max(std::fabs(low), std::fabs(high)) : low;
        const double spanHigh = ramp.IsDiverging() ? std::max(std::fabs(low), std::fabs(high)) : high;
        for (int k = 0; k < 100; ++k) {
            const double value = cells.Values[size_t(k)];
            const TRgba pixel = png.At(unsigned(k % 20), unsigned(k / 20));
            if (value <= spanLow) {
                EXPECT_EQ(pixel, Opaque(ramp.Entry(0))) << value;
            } else if (value >= spanHigh) {
                EXPECT_EQ(pixel, Opaque(ramp.Entry(255))) << value;
            } else {
                // Level k of 253 over the span shows the ramp at k / 252.
                const int level = std::min(252, int((value - spanLow) / (spanHigh - spanLow) * 253));
                EXPECT_EQ(pixel, Opaque(ramp.At(level / 252.0))) << value;
            }
        }
        EXPECT_TRUE(png.ShowsText("mean", kInk, StripTop(png)));
        EXPECT_TRUE(png.ShowsText(TQuickLookLegend::Number(spanLow, 4), kInk, StripTop(png)));
        EXPECT_TRUE(png.ShowsText(TQuickLookLegend::Number(spanHigh, 4), kInk, StripTop(png)));
        EXPECT_EQ(png.Texts.at("Colour ramp"), name);
    }

    TQuickLookOptions given = Options("magma");
    given.HasRange = true;
    given.RangeLow = 10;
    given.RangeHigh = 20;
    const TColourRamp magma("magma");
    const TDecodedPng png = Picture(cells, given);
    EXPECT_EQ(png.At(0, 0), Opaque(magma.Entry(0)));    // 0, below
    EXPECT_EQ(png.At(10, 0), Opaque(magma.Entry(0)));   // 10, the low end
    EXPECT_EQ(png.At(15, 0), Opaque(magma.At(126 / 252.0)));  // 15, the middle
    EXPECT_EQ(png.At(0, 1), Opaque(magma.Entry(255)));  // 20, the high end
    EXPECT_EQ(png.At(19, 4), Opaque(magma.Entry(255)));  // 99, beyond
    EXPECT_EQ(png.Texts.at("Colour range"), "10 20");
}

TEST(QuickLook, DivergingRampIsCentredOnZero)
{
    SKIP_WITHOUT_LIBPNG();
    // Slopes from -1 to 3: the span is [-M, M] with M from the larger end, so 0 is neutral and
    // the most negative slope is not drawn at the purple end.
    TCells cells{101, 1, {}, {}};
    for (int k = 0; k <= 100; ++k) cells.Values.push_back(-1 + 0.04 * k);
    TQuickLookOptions options = Options("", "sen-slope");
    options.Signed = true;
    const TDecodedPng png = Picture(cells, options);
    const TColourRamp ramp("purple-orange");
    const double m = NumpyPercentile(cells.Values, 98);
    EXPECT_EQ(png.At(25, 0), Opaque(ramp.At(int((0 + m) / (2 * m) * 253) / 252.0)));  // 0
    EXPECT_EQ(png.At(100, 0), Opaque(ramp.Entry(255)));
    EXPECT_NE(png.At(0, 0), Opaque(ramp.Entry(0)));
    EXPECT_EQ(png.Texts.at("Colour ramp"), "purple-orange");
    EXPECT_TRUE(png.ShowsText("sen-slope", kInk, 1));
}

TEST(QuickLook, ConstantMapIsDrawnInTheRampsMiddleColour)
{
    SKIP_WITHOUT_LIBPNG();
    TCells cells = Filled(3, 2, 7.25);
    cells.Values[4] = kNaN;
    const TDecodedPng png = Picture(cells, Options("viridis"));
    const TRgba middle = Opaque(TColourRamp("viridis").At(0.5));
    for (int c = 0; c < 6; ++c) EXPECT_EQ(png.At(c % 3, c / 3), c == 4 ? kClear : middle);
    EXPECT_TRUE(png.ShowsText("7.25", kInk, 2));
}

TEST(QuickLook, ReducedPixelIsTheMeanOfItsBlocksCellsWithData)
{
    SKIP_WITHOUT_LIBPNG();
    // 4100 x 5 cells reduce by 3 into 1367 x 2 pixels, the last column of blocks 2 cells wide and
    // the last row of blocks 2 cells high. On grey over [0, 253] a mean m shows as level floor(m).
    const long columns = 4100;
    TCells cells = Filled(columns, 5, 0);
    cells.Missing.assign(cells.Values.size(), 0);
    auto set = [&](long x, long y, double value, bool missing = false) {
        cells.Values[size_t(y * columns + x)] = value;
        cells.Missing[size_t(y * columns + x)] = missing;
    };
    struct TBlock {
        long X, Y;  // the block
        std::vector<double> Values;  // row by row; NaN is missing
        double Mean;
    };
    const std::vector<TBlock> blocks = {
        {0, 0, {10, 20, 30, 40, 50, 60, 70, 80, 90}, 50},
        {1, 0, {kNaN, kNaN, 100.5, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN}, 100.5},
        {2, 0, {1, 2, kNaN, 250, 2, kNaN, 1, 1, kNaN}, 257.0 / 6},
        {1366, 0, {200, 201, 202, 203, 204, 205}, 202.5},  // 2 columns wide
        {0, 1, {5, 6, 7, 8, 9, 10}, 7.5},                 // 2 rows high
        {1366, 1, {kNaN, 30, kNaN, 31}, 30.5},            // 2 x 2
    };
    for (const TBlock& block : blocks) {
        const long width = block.X == 1366 ? 2 : 3;
        for (size_t k = 0; k < block.Values.size(); ++k) {
            const long x = block.X * 3 + long(k) % width;
            const long y = block.Y * 3 + long(k) / width;
            set(x, y, std::isnan(block.Values[k]) ? -9999 : block.Values[k], std::isnan(block.Values[k]));
        }
    }
    for (long y = 0; y < 5; ++y)
        for (long x = 9; x < 12; ++x) set(x, y, 7, true);  // blocks (3, 0) and (3, 1): nothing holds data
    TQuickLookOptions options = Options("grey");
    options.HasRange = true;
    options.RangeLow = 0;
    options.RangeHigh = 253;
    const TDecodedPng png = Picture(cells, options);
    ASSERT_EQ(png.Width, 1367u);
    EXPECT_EQ(StripTop(png), 2u);
    const TColourRamp grey("grey");
    for (const TBlock& block : blocks)
        EXPECT_EQ(png.At(unsigned(block.X), unsigned(block.Y)), Opaque(grey.At(std::floor(block.Mean) / 252.0)))
            << block.X << ", " << block.Y;
    EXPECT_EQ(png.At(3, 0), kClear);
    EXPECT_EQ(png.At(4, 0), Opaque(grey.Entry(0)));
    EXPECT_EQ(png.Texts.at("Block size"), "3");
    EXPECT_EQ(png.Texts.at("Pixel size"), "90");
}

TEST(QuickLook, TextChunksCarryTheGeoreferenceAndTheStatistic)
{
    SKIP_WITHOUT_LIBPNG();
    TQuickLookOptions options = Options("", "p2.5");
    options.CellSize = "0.1";
    const TDecodedPng small = Picture(Filled(4, 3, 1), options);
    const std::map<std::string, std::string> expected = {
        {"Software", "gridmean"}, {"Statistic", "p2.5"},         {"ncols", "4"},         {"nrows", "3"},
        {"xllcorner", "440720.5"}, {"yllcorner", "3750120.25"}, {"cellsize", "0.1"},    {"NODATA_value", "-9999"},
        {"Colour ramp", "viridis"}, {"Colour range", "1 1"}};
    EXPECT_EQ(small.Texts, expected);
    const TDecodedPng reduced = Picture(Filled(6000, 1, 1), options);
    EXPECT_EQ(reduced.Texts.at("Block size"), "3");
    EXPECT_EQ(reduced.Texts.at("Pixel size"), "0.3");
    EXPECT_EQ(reduced.Texts.at("ncols"), "6000");
    options.NoDataValue.clear();
    EXPECT_EQ(Picture(Filled(4, 3, 1), options).Texts.count("NODATA_value"), 0u);
}

TEST(QuickLook, WholeNumbersGetOneColourEachWhenFew)
{
    SKIP_WITHOUT_LIBPNG();
    struct TCase {
        std::vector<double> Values;
        bool Signed;
        std::vector<double> Positions;  // each value's place on the ramp, in the order of the values
    };
    const TCase cases[] = {
        {{0, 1, 2, 3, 4}, false, {0, 0.25, 0.5, 0.75, 1}},
        {{3, 10, 1000}, false, {0, 0.5, 1}},  // evenly by rank, not by value
        {{-2, -1, 0, 1, 2}, true, {0, 0.25, 0.5, 0.75, 1}},
        {{-1, 0, 4}, true, {0.375, 0.5, 1}},  // by value on a diverging ramp: 0 stays neutral
        {{5}, false, {0.5}},
        {{-2048, 0, 2047}, false, {0, 0.5, 1}},  // the ends of the table by value
        // Not whole, or beyond the table: found among the values.
        {{0.5, 1.5, 2.25}, false, {0, 0.5, 1}},
        {{-3000, 12, 4000}, true, {0.125, 0.5015, 1}},
    };
    for (const TCase& c : cases) {
        // Rows of 8 repeats: sixteen pixels at a time where they are wide enough, then one by one.
        TCells cells{long(c.Values.size()) * 8, 2, {}, {}};
        for (int repeat = 0; repeat < 16; ++repeat) cells.Values.insert(cells.Values.end(), c.Values.begin(), c.Values.end());
        cells.Values.back() = kNaN;
        TQuickLookOptions options = Options("", "count");
        options.WholeNumbers = true;
        options.Signed = c.Signed;
        const TDecodedPng png = Picture(cells, options);
        const TColourRamp ramp(TColourRamp::DefaultName(c.Signed));
        for (size_t k = 0; k + 1 < cells.Values.size(); ++k)
            EXPECT_EQ(png.At(unsigned(k % size_t(cells.Columns)), unsigned(k / size_t(cells.Columns))),
                      Opaque(ramp.At(c.Positions[k % c.Values.size()])))
                << c.Values[k % c.Values.size()];
        for (double value : c.Values) EXPECT_TRUE(png.ShowsText(TQuickLookLegend::Number(value, 7), kInk, 2)) << value;
        EXPECT_EQ(png.Texts.count("Colour values"), 1u);
    }

    // 17 distinct counts: the continuous ramp.
    TCells many{17, 1, {}, {}};
    for (int k = 0; k < 17; ++k) many.Values.push_back(k);
    TQuickLookOptions options = Options("", "count");
    options.WholeNumbers = true;
    const TDecodedPng png = Picture(many, options);
    EXPECT_EQ(png.Texts.count("Colour values"), 0u);
    EXPECT_EQ(png.Texts.at("Colour range"), TQuickLookLegend::Number(NumpyPercentile(many.Values, 2), 9) + " " +
                                                TQuickLookLegend::Number(NumpyPercentile(many.Values, 98), 9));
}

TEST(QuickLook, RunsOfAnyLengthGiveTheSamePictureAsWholeRows)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> unit(0, 1);
    for (const long columns : {37L, 5000L}) {
        TCells cells{columns, 23, {}, {}};
        for (long c = 0; c < columns * 23; ++c) {
            cells.Values.push_back(unit(random) < 0.1 ? kNaN : std::sin(double(c) * 0.01) * 100);
            cells.Missing.push_back(unit(random) < 0.05);
        }
        const TQuickLookOptions options = Options();
        const std::string rows = PictureBytes(cells, options);
        for (const size_t run : {size_t(1), size_t(7), size_t(columns - 1), size_t(columns + 3), size_t(3 * columns)})
            EXPECT_EQ(PictureBytes(cells, options, run), rows) << columns << " columns in runs of " << run;
        // A missing flag of 0 everywhere is no flag at all.
        TCells unflagged = cells;
        for (size_t c = 0; c < cells.Values.size(); ++c)
            if (cells.Missing[c]) unflagged.Values[c] = kNaN;
        const std::string none = PictureBytes(TCells{columns, 23, unflagged.Values, {}}, options);
        unflagged.Missing.assign(cells.Values.size(), 0);
        EXPECT_EQ(PictureBytes(unflagged, options), none);
        EXPECT_EQ(none, rows);
    }
}

TEST(QuickLook, SameCellsGiveTheSameBytes)
{
    TCells cells{300, 200, {}, {}};
    for (long c = 0; c < 300 * 200; ++c) cells.Values.push_back(double(c % 977) * 0.37);
    const std::string first = PictureBytes(cells, Options());
    EXPECT_EQ(PictureBytes(cells, Options()), first);
    TQuickLook picture(300, 200, Options());
    picture.Add(cells.Values.data(), nullptr, cells.Values.size());
    TMemorySink once, twice;
    picture.Write(once);
    picture.Write(twice);
    EXPECT_EQ(once.Bytes, first);
    EXPECT_EQ(twice.Bytes, first);
    // Nothing of the time or the system in it: the text chunks are the ones listed.
    EXPECT_EQ(first.find("tIME"), std::string::npos);
}

TEST(QuickLook, RefusesWhatItCannotDraw)
{
    const std::vector<double> values(10, 1.0);
    TQuickLook picture(3, 3, Options());
    picture.Add(values.data(), nullptr, 8);
    TMemorySink sink;
    EXPECT_EQ(ThrownMessage([&] { picture.Write(sink); }), "Picture written before every cell was added in TQuickLook");
    EXPECT_EQ(ThrownMessage([&] { picture.Add(values.data(), nullptr, 2); }), "More cells than the grid holds in TQuickLook");
    picture.Add(values.data(), nullptr, 1);
    EXPECT_EQ(ThrownMessage([&] { picture.Write(sink); }), "<no throw>");
    EXPECT_EQ(ThrownMessage([] { TQuickLook(0, 5, Options()); }),
              "A picture needs at least one column and one row in TQuickLook");
    EXPECT_EQ(ThrownMessage([] { TQuickLook(5, 5, Options("jet")); }),
              "Unknown colour ramp \"jet\" (the ramps are viridis, magma, grey, purple-orange)");
    for (const auto& range : std::vector<std::pair<double, double>>{{1, 1}, {2, 1}, {kNaN, 1}, {0, kInfinity}}) {
        TQuickLookOptions options = Options();
        options.HasRange = true;
        options.RangeLow = range.first;
        options.RangeHigh = range.second;
        EXPECT_EQ(ThrownMessage([&] { TQuickLook(5, 5, options); }),
                  "The colour range needs finite values, the first below the second, in TQuickLook");
    }
}
