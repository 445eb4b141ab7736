#include "stack/TGeoreferenceCheck.h"

#include "files/TGridFormat.h"
#include "files/TGridHeaderText.h"
#include "files/TProjectionFiles.h"
#include "support/TFileMessages.h"

namespace {

std::string Number(double value) { return TGridHeaderText::GeoNumber(value); }

double ValueOf(const TGridHeader& header, const std::string& which)
{
    return which == TGridFormat::kXllCorner ? header.XllCorner
        : which == TGridFormat::kYllCorner  ? header.YllCorner
                                            : header.CellSize;
}

}  // namespace

TGeoreferenceCheck::TGeoreferenceCheck(bool refuseUnusable, bool checkGeometry, const std::vector<std::string>& names)
    : MbrBlnRefuseUnusable(refuseUnusable), MbrBlnCheckGeometry(checkGeometry), MbrRefNames(names)
{
}

std::string TGeoreferenceCheck::NameOf(size_t input) const
{
    return MbrRefNames.empty() ? "input " + std::to_string(input + 1) : MbrRefNames[input];
}

void TGeoreferenceCheck::Check(size_t input, const TGridHeader& header)
{
    if (MbrBlnRefuseUnusable) {
        if (const char* value = header.UnusableValue()) {
            const std::string name = value;
            if (name == TGridFormat::kCellSize)
                throw "File format error: cellsize " + Number(header.CellSize) + " is not a positive finite number";
            const bool x = name == TGridFormat::kXllCorner;
            throw "File format error: " + name + " " + Number(ValueOf(header, name)) + " with " +
                (x ? "ncols " + std::to_string(header.Columns) : "nrows " + std::to_string(header.Rows)) +
                " and cellsize " + Number(header.CellSize) + " puts an edge beyond the range of numbers";
        }
    }
    if (MbrBlnCheckGeometry) CheckGeometry(input, header);
}

void TGeoreferenceCheck::CheckGeometry(size_t input, const TGridHeader& header)
{
    const std::string name = NameOf(input);
    const std::string sidecar = MbrRefNames.empty() ? std::string() : TProjectionFiles::FindSidecar(name);
    const std::string projection = sidecar.empty() ? std::string() : TProjectionFiles::ReadText(sidecar);
    if (input == 0) {
        MbrFirst = header;
        MbrStgProjection = projection;
        MbrBlnProjection = !sidecar.empty();
        return;
    }
    const std::string first = NameOf(0);
    if (const char* value = MbrFirst.DifferingValue(header))
        throw TFileMessages::GeometryDiffers(name, value, Number(ValueOf(header, value)), first,
                                             Number(ValueOf(MbrFirst, value)));
    if (MbrBlnProjection && !sidecar.empty() && !TProjectionFiles::SameText(MbrStgProjection, projection))
        throw TFileMessages::OtherCoordinateSystem(name, sidecar, first);
}
