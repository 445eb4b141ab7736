#include "ops/TMapTools.h"

#include "files/TTextWriter.h"
#include "grid/TMap.h"

void TMapTools::WriteFlatFile(TMap* map, std::ostream& stream, char separator)
{
    TTextWriter writer(stream);
    WriteValueRows(writer, map, separator, false);
    writer.Flush();
}
