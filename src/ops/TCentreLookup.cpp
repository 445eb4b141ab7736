#include "ops/TCentreLookup.h"

#include "grid/TAxis.h"
#include "grid/TGridMessages.h"
#include "grid/TMap.h"

namespace {

// True when lookup k gave k for every k.
bool IsIdentity(const std::vector<long>& found)
{
    for (size_t k = 0; k < found.size(); ++k)
        if (found[k] != static_cast<long>(k)) return false;
    return true;
}

}  // namespace

TCentreLookup::TCentreLookup(TMap* PtrBase, TMap* PtrOther) : MbrPtrOther(PtrOther)
{
    if (!PtrBase->GetXAxis() || !PtrBase->GetYAxis() || !PtrOther->GetXAxisInterval() || !PtrOther->GetYAxisInterval())
        throw TGridMessages::kAxesNotSet;
    const TAxisLookup columns(PtrOther->GetXAxisInterval(), 'X');
    const TAxisLookup rows(PtrOther->GetYAxisInterval(), 'Y');
    TAxis* centresX = PtrBase->GetXAxis();
    TAxis* centresY = PtrBase->GetYAxis();
    for (long x = 0; x < centresX->GetSize(); ++x) MbrVecColumns.push_back(columns.Find(centresX->GetOrdinate(x, 'X')));
    for (long y = 0; y < centresY->GetSize(); ++y) MbrVecRows.push_back(rows.Find(centresY->GetOrdinate(y, 'Y')));

    // The pairing is decided from the lookups themselves rather than from a comparison of the
    // axes, so it holds exactly when the coordinate road would pair each cell with its namesake.
    // A centre for every base cell, and every found cell inside the other map, also rule out
    // every failure of CellAt on the cells of the base.
    const long baseColumns = PtrBase->GetXDim();
    const long baseRows = PtrBase->GetYDim();
    MbrBlnByIndex = centresX->GetSize() == baseColumns && centresY->GetSize() == baseRows &&
                    baseColumns <= PtrOther->GetXDim() && baseRows <= PtrOther->GetYDim() &&
                    IsIdentity(MbrVecColumns) && IsIdentity(MbrVecRows);
}

void TCentreLookup::CellAt(long x, long y, long& column, long& row) const
{
    if (x < 0 || x >= static_cast<long>(MbrVecColumns.size())) throw TGridMessages::kGetCoordinatesX;
    if (y < 0 || y >= static_cast<long>(MbrVecRows.size())) throw TGridMessages::kGetCoordinatesY;
    column = MbrVecColumns[static_cast<size_t>(x)];
    row = MbrVecRows[static_cast<size_t>(y)];
    if (const char* failure = MbrPtrOther->CellFailure(column, row, TMap::TCellAccess::GetPointVal)) throw failure;
}

double TCentreLookup::ValueAt(long x, long y) const
{
    long column, row;
    CellAt(x, y, column, row);
    return MbrPtrOther->GetRowRef(row)[static_cast<size_t>(column)];
}
