#include "ops/TMapTools.h"

#include "text/TTextWriter.h"
#include "grid/TAxis.h"
#include "grid/TGridMessages.h"
#include "grid/TMap.h"

#include <sstream>
#include <string>
#include <vector>

namespace {

// The ordinates of one point axis as text. Every column repeats its x and every row its y on
// each line, so each is formatted once, by a writer with the caller's stream formatting, and
// copied from then on.
class TOrdinateTexts {
public:
    TOrdinateTexts(TAxis* axis, long count, char mode, const std::ostream& like)
    {
        std::ostringstream scratch;
        scratch.copyfmt(like);
        TTextWriter writer(scratch);
        MbrVecEnds.reserve(static_cast<size_t>(count));
        for (long i = 0; i < count; ++i) {
            writer.PutValue(axis->GetOrdinate(i, mode));
            writer.Flush();
            MbrVecEnds.push_back(static_cast<size_t>(scratch.tellp()));
        }
        MbrStgText = scratch.str();
    }

    void PutTo(TTextWriter& writer, long i) const
    {
        const size_t index = static_cast<size_t>(i);
        const char* end = MbrStgText.data() + MbrVecEnds[index];
        for (const char* p = MbrStgText.data() + (index == 0 ? 0 : MbrVecEnds[index - 1]); p != end; ++p) writer.Put(*p);
    }

private:
    std::string MbrStgText;
    std::vector<size_t> MbrVecEnds;
};

}  // namespace

void TMapTools::WriteCSVFile(TMap* PtrMap, std::ostream& StmOutput)
{
    // Checked before the first line, so that a map without centres writes nothing at all.
    TAxis* xCentres = PtrMap->GetXAxis();
    TAxis* yCentres = PtrMap->GetYAxis();
    if (!xCentres || !yCentres) throw TGridMessages::kAxesNotSet;

    const long columns = PtrMap->GetXDim();
    const long rows = PtrMap->GetYDim();
    const TOrdinateTexts xTexts(xCentres, columns, 'X', StmOutput);
    const TOrdinateTexts yTexts(yCentres, rows, 'Y', StmOutput);
    std::vector<const double*> cells(static_cast<size_t>(rows));
    for (long y = 0; y < rows; ++y) cells[static_cast<size_t>(y)] = PtrMap->GetRowRef(y).data();

    TTextWriter writer(StmOutput);
    for (long x = 0; x < columns; ++x) {
        for (long y = 0; y < rows; ++y) {
            xTexts.PutTo(writer, x);
            writer.Put(',');
            yTexts.PutTo(writer, y);
            writer.Put(',');
            writer.PutValue(cells[static_cast<size_t>(y)][x]);
            writer.Put('\n');
        }
    }
    writer.Flush();
}
