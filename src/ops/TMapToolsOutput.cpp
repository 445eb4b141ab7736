#include "ops/TMapTools.h"

#include "files/TTextWriter.h"
#include "grid/TMap.h"

void TMapTools::WriteFlatFile(TMap* PtrMap, std::ostream& StmOutput, char ChrSeparator)
{
    TTextWriter writer(StmOutput);
    WriteValueRows(writer, PtrMap, ChrSeparator, false);
    writer.Flush();
}
