#include "stack/TBandReduction.h"

#include <algorithm>

TBandReduction::TBandReduction(const TStackStatistic& statistic, std::vector<double> noData, size_t pieces)
    : MbrRefStatistic(statistic), MbrVecNoData(std::move(noData)), MbrVecPieces(pieces)
{
    for (TPiece& piece : MbrVecPieces) piece.Rows.resize(MbrVecNoData.size());
}

void TBandReduction::ReduceRun(TPiece& piece, const double* const* bands, size_t offset, size_t count,
                               size_t at) const
{
    for (size_t k = 0; k < piece.Rows.size(); ++k) piece.Rows[k] = bands[k] + offset;
    MbrRefStatistic.Reduce(piece.Rows.data(), MbrVecNoData.data(), count, piece.Values.data() + at,
                           piece.Missing.data() + at, piece.Scratch);
}

TPieceResults TBandReduction::Reduce(size_t index, const double* const* bands, size_t begin, size_t end,
                                     const TBandOrder& order)
{
    TPiece& piece = MbrVecPieces[index];
    const size_t count = end - begin;
    if (piece.Values.size() < count) {
        piece.Values.resize(count);
        piece.Missing.resize(count);
    }
    if (!order.Mirrored) {
        ReduceRun(piece, bands, begin, count, 0);
    } else {
        // Output position p holds the cell of the same column in the mirrored row.
        for (size_t p = begin; p < end;) {
            const uint64_t row = p / order.Columns;
            const uint64_t column = p % order.Columns;
            const size_t run = static_cast<size_t>(std::min<uint64_t>(end - p, order.Columns - column));
            ReduceRun(piece, bands, static_cast<size_t>((order.Rows - 1 - row) * order.Columns + column), run, p - begin);
            p += run;
        }
    }
    return TPieceResults{piece.Values.data(), piece.Missing.data()};
}
