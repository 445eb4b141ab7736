#pragma once

#include <string>
#include <vector>

// The legend strip under a quick-look map, as rows of palette indices on an opaque paper colour:
// the statistic's name on the first line, then either the ramp as a bar with its end values
// under its ends, or one framed swatch per value with the value beside it, or "no data".
//
//   mean                          p2.5
//   [#####################]       [#] 0   [#] 1   [#] 2
//   12.5                 97.25
class TQuickLookLegend {
public:
    // The palette entries the legend draws with; the map's colours follow them.
    static constexpr unsigned char kTransparent = 0;
    static constexpr unsigned char kPaper = 1;
    static constexpr unsigned char kInk = 2;
    static constexpr unsigned char kFirstColour = 3;
    // The narrowest legend: a ramp bar of 253 levels with its frame and margins.
    static constexpr long kMinimumWidth = 263;

    explicit TQuickLookLegend(const std::string& statistic);

    // The value as printf's %.*g writes it with `digits` significant digits, 0 for -0: the
    // legend's labels and the picture's texts.
    static std::string Number(double value, int digits);

    // A continuous ramp of `levels` palette entries from kFirstColour, low to high, labelled
    // with its end values (4 significant digits).
    void SetRamp(double low, double high, int levels);
    // A swatch of palette entry `index` labelled with the value (7 significant digits); swatches
    // show in the order added.
    void AddSwatch(double value, unsigned char index);

    // The width the legend needs (at least kMinimumWidth).
    long NeededWidth() const;
    // Lays the legend out `width` pixels wide (at least kMinimumWidth; swatches wrap to fit, text
    // beyond the right edge is cut) and draws it.
    void Draw(long width);
    long Height() const { return MbrLngHeight; }
    // Row y (0 at the top) of the drawn legend: Draw's width bytes.
    const unsigned char* Row(long y) const { return MbrVecRaster.data() + y * MbrLngWidth; }

private:
    struct TSwatch {
        std::string Label;
        unsigned char Index;
    };
    long SwatchPitch() const;
    void Frame(long x, long y, long width, long height);

    std::string MbrStgName;
    bool MbrBlnRamp = false;
    int MbrIntLevels = 0;
    std::string MbrStgLow;
    std::string MbrStgHigh;
    std::vector<TSwatch> MbrVecSwatches;
    long MbrLngWidth = 0;
    long MbrLngHeight = 0;
    std::vector<unsigned char> MbrVecRaster;
};
