#include "picture/TColourRamp.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Hex(TRgb colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.Red, colour.Green, colour.Blue);
    return text;
}

// The 256 colours of a matplotlib colour map as "#rrggbb" lines, or empty without matplotlib.
std::string MatplotlibColours(const std::string& expression)
{
#ifdef _WIN32
    (void)expression;
    return "";
#else
    const std::string command = "/usr/bin/python3 -c \"import matplotlib.colors as c\n" + expression +
                                "\nfor k in range(256): print('#%02x%02x%02x' % tuple(round(v * 255) for v in m(k / 255)[:3]))\" "
                                "2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "";
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    return pclose(pipe) == 0 ? out : "";
#endif
}

std::string OurColours(const std::string& name)
{
    const TColourRamp ramp(name);
    std::string out;
    for (int k = 0; k < 256; ++k) out += Hex(ramp.Entry(k)) + "\n";
    return out;
}

}  // namespace

TEST(ColourRamp, EndsAreThePublishedColours)
{
    struct TCase {
        std::string Name;
        std::string Low, Middle, High;
        bool Diverging;
    };
    // viridis and magma as matplotlib publishes them; PuOr's ends and middle as ColorBrewer does.
    const TCase cases[] = {
        {"viridis", "#440154", "#21918c", "#fde725", false},
        {"magma", "#000004", "#b73779", "#fcfdbf", false},
        {"grey", "#000000", "#808080", "#ffffff", false},
        {"purple-orange", "#2d004b", "#f7f7f7", "#7f3b08", true},
    };
    std::vector<std::string> names;
    for (const TCase& c : cases) {
        const TColourRamp ramp(c.Name);
        EXPECT_EQ(Hex(ramp.At(0)), c.Low) << c.Name;
        EXPECT_EQ(Hex(ramp.At(-3)), c.Low) << c.Name;
        EXPECT_EQ(Hex(ramp.At(1)), c.High) << c.Name;
        EXPECT_EQ(Hex(ramp.At(7)), c.High) << c.Name;
        EXPECT_EQ(ramp.IsDiverging(), c.Diverging) << c.Name;
        names.push_back(c.Name);
        if (c.Name != "purple-orange") {
            EXPECT_EQ(Hex(ramp.At(0.5)), c.Middle) << c.Name;
        }
    }
    // PuOr's neutral middle lies between entries 127 and 128.
    const TColourRamp diverging("purple-orange");
    for (int k : {127, 128}) {
        const TRgb colour = diverging.Entry(k);
        EXPECT_NEAR(colour.Red, 0xf7, 1);
        EXPECT_NEAR(colour.Green, 0xf7, 1);
        EXPECT_NEAR(colour.Blue, 0xf7, 2);
    }
    EXPECT_EQ(TColourRamp::Names(), names);
    EXPECT_EQ(TColourRamp::NameList(), "viridis, magma, grey, purple-orange");
    EXPECT_EQ(std::string(TColourRamp::DefaultName(false)), "viridis");
    EXPECT_EQ(std::string(TColourRamp::DefaultName(true)), "purple-orange");
    EXPECT_EQ(ThrownMessage([] { TColourRamp("Viridis"); }),
              "Unknown colour ramp \"Viridis\" (the ramps are viridis, magma, grey, purple-orange)");
}

TEST(ColourRamp, TablesAreMatplotlibs)
{
    struct TCase {
        std::string Name;
        std::string Map;
    };
    const TCase cases[] = {
        {"viridis", "import matplotlib; m = matplotlib.colormaps['viridis']"},
        {"magma", "import matplotlib; m = matplotlib.colormaps['magma']"},
        {"purple-orange", "m = c.LinearSegmentedColormap.from_list('PuOr', ['#2d004b', '#542788', '#8073ac', "
                          "'#b2abd2', '#d8daeb', '#f7f7f7', '#fee0b6', '#fdb863', '#e08214', '#b35806', '#7f3b08'], N=256)"},
    };
    for (const TCase& c : cases) {
        const std::string expected = MatplotlibColours(c.Map);
        if (expected.empty()) GTEST_SKIP() << "matplotlib (python3-matplotlib) is not available";
        EXPECT_EQ(OurColours(c.Name), expected) << c.Name;
    }
}
