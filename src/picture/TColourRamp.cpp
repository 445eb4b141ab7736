#include "picture/TColourRamp.h"

#include <cmath>

namespace {

#include "picture/ColourRampTables.inc"

struct TNamedRamp {
    const char* Name;
    const TRgb* Table;
    bool Diverging;
};

const TNamedRamp kRamps[] = {
    {"viridis", kViridis, false},
    {"magma", kMagma, false},
    {"grey", kGrey, false},
    {"purple-orange", kPurpleOrange, true},
};

}  // namespace

TColourRamp::TColourRamp(const std::string& name)
{
    for (const TNamedRamp& ramp : kRamps) {
        if (name == ramp.Name) {
            MbrStgName = name;
            MbrPtrTable = ramp.Table;
            MbrBlnDiverging = ramp.Diverging;
            return;
        }
    }
    throw "Unknown colour ramp \"" + name + "\" (the ramps are " + NameList() + ")";
}

const std::vector<std::string>& TColourRamp::Names()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const TNamedRamp& ramp : kRamps) list.push_back(ramp.Name);
        return list;
    }();
    return names;
}

std::string TColourRamp::NameList()
{
    std::string list;
    for (const std::string& name : Names()) list += (list.empty() ? "" : ", ") + name;
    return list;
}

const char* TColourRamp::DefaultName(bool signedValues) { return signedValues ? "purple-orange" : "viridis"; }

TRgb TColourRamp::At(double position) const
{
    // Written so that NaN lands on the low end.
    const double clamped = position > 0 ? (position < 1 ? position : 1) : 0;
    return MbrPtrTable[static_cast<int>(std::lround(clamped * 255))];
}
