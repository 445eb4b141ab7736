#include "ops/TCentreLookup.h"

#include "grid/TAxis.h"
#include "grid/TGridMessages.h"
#include "grid/TMap.h"

TCentreLookup::TCentreLookup(TMap* base, TMap* other) : MbrPtrOther(other)
{
    if (!base->GetXAxis() || !base->GetYAxis() || !other->GetXAxisInterval() || !other->GetYAxisInterval())
        throw TGridMessages::kAxesNotSet;
    const TAxisLookup columns(other->GetXAxisInterval(), 'X');
    const TAxisLookup rows(other->GetYAxisInterval(), 'Y');
    TAxis* centresX = base->GetXAxis();
    TAxis* centresY = base->GetYAxis();
    for (long x = 0; x < centresX->GetSize(); ++x) MbrVecColumns.push_back(columns.Find(centresX->GetOrdinate(x, 'X')));
    for (long y = 0; y < centresY->GetSize(); ++y) MbrVecRows.push_back(rows.Find(centresY->GetOrdinate(y, 'Y')));
}

void TCentreLookup::CellAt(long x, long y, long& column, long& row) const
{
    if (x < 0 || x >= static_cast<long>(MbrVecColumns.size()))
        throw TGridMessages::kGetCoordinatesX;
    if (y < 0 || y >= static_cast<long>(MbrVecRows.size()))
        throw TGridMessages::kGetCoordinatesY;
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
