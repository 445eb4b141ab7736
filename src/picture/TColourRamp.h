#pragma once

#include <string>
#include <vector>

// One colour in sRGB, 0 to 255 a component.
struct TRgb {
    unsigned char Red;
    unsigned char Green;
    unsigned char Blue;
};

// A named colour ramp of 256 colours from its low end (entry 0) to its high end (entry 255):
// viridis and magma (matplotlib's perceptually uniform tables), grey (black to white), and the
// diverging purple-orange (ColorBrewer's PuOr from purple to orange through a near-white middle),
// for values centred on 0. All four stay readable with the common colour-vision deficiencies.
class TColourRamp {
public:
    // The ramp of one of Names(). Throws "Unknown colour ramp " and the name in quotes, with the
    // list of names.
    explicit TColourRamp(const std::string& name);

    // The names, the default first: viridis, magma, grey, purple-orange.
    static const std::vector<std::string>& Names();
    // The names separated by ", ", for help texts and messages.
    static std::string NameList();
    // The ramp a statistic gets when none is named: purple-orange for a signed one (slopes,
    // differences), viridis for any other.
    static const char* DefaultName(bool signedValues);

    const std::string& Name() const { return MbrStgName; }
    // True for a ramp whose middle is neutral, meant to be centred on 0.
    bool IsDiverging() const { return MbrBlnDiverging; }
    // Entry 0 to 255.
    TRgb Entry(int index) const { return MbrPtrTable[index]; }
    // The entry nearest to the position, 0 the low end and 1 the high end; positions beyond are
    // the ends.
    TRgb At(double position) const;

private:
    std::string MbrStgName;
    const TRgb* MbrPtrTable;
    bool MbrBlnDiverging;
};
