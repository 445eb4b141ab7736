#include "stack/TBandReduction.h"

#include <algorithm>

TBandReduction::TBandReduction(const TStackStatistic& statistic, std::vector<double> noData, size_t pieces)
    : MbrRefStatistic(statistic), MbrVecNoData(std::move(noData)), MbrVecPieces(pieces)
{
    const size_t statistics = statistic.Statistics().size();
    for (TPiece& piece : MbrVecPieces) {
        piece.Rows.resize(MbrVecNoData.size());
        piece.Values.resize(statistics);
        piece.Missing.resize(statistics);
        piece.ValuesAt.resize(statistics);
        piece.MissingAt.resize(statistics);
        piece.Results.resize(statistics);
    }
}

void TBandReduction::ReduceRun(TPiece& piece, const double* const* bands, size_t offset, size_t count,
                               size_t at) const
{
    for (size_t k = 0; k < piece.Rows.size(); ++k) piece.Rows[k] = bands[k] + offset;
    for (size_t s = 0; s < piece.Values.size(); ++s) {
        piece.ValuesAt[s] = piece.Values[s].data() + at;
        piece.MissingAt[s] = piece.Missing[s].data() + at;
    }
    MbrRefStatistic.Reduce(piece.Rows.data(), MbrVecNoData.data(), count, piece.ValuesAt.data(),
                           piece.MissingAt.data(), piece.Scratch);
}

const TPieceResults* TBandReduction::Reduce(size_t index, const double* const* bands, size_t begin, size_t end,
                                            const TBandOrder& order)
{
    TPiece& piece = MbrVecPieces[index];
    const size_t count = end - begin;
    for (size_t s = 0; s < piece.Values.size(); ++s) {
        if (piece.Values[s].size() < count) {
            piece.Values[s].resize(count);
            piece.Missing[s].resize(count);
        }
        piece.Results[s] = TPieceResults{piece.Values[s].data(), piece.Missing[s].data()};
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
    return piece.Results.data();
}
