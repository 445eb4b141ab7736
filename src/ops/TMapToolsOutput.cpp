#include "ops/TMapTools.h"

#include "grid/TMap.h"
#include "text/TTextWriter.h"

void TMapTools::WriteFlatFile(TMap* PtrMap, std::ostream& StmOutput, char ChrSeparator)
{
    TTextWriter writer(StmOutput);
    for (long y = 0; y < PtrMap->GetYDim(); ++y) {
        const std::vector<double>& row = PtrMap->GetRowRef(y);
        writer.PutRow(row.data(), row.size(), ChrSeparator);
    }
    writer.Flush();
}
