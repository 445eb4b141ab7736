#pragma once

#include "stats/TStackStatistic.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The order in which a band's cells are handed on: as the inputs hold them, or, for a result
// whose rows are written last row first, each output position holding the cell of the same
// column in the mirrored row of a grid of `Rows` x `Columns` cells (the band is then the grid).
struct TBandOrder {
    bool Mirrored = false;
    uint64_t Rows = 0;
    uint64_t Columns = 0;
};

// The results of one piece of a band: value c of the piece, or missing where Missing[c] != 0.
struct TPieceResults {
    const double* Values;
    const unsigned char* Missing;
};

// The reduction of bands by the statistic's cell rule, in pieces that run side by side: each piece
// keeps its own results (one run of values and marks per statistic) and working space.
class TBandReduction {
public:
    // `noData` holds each input's no-data value; `pieces` the most pieces a band is cut into.
    TBandReduction(const TStackStatistic& statistic, std::vector<double> noData, size_t pieces);

    // Reduces the band's output positions [begin, end) from the inputs' bands (bands[k]: input k's
    // values of the band) into piece `piece`'s results, one per statistic, which stay valid until
    // its next call.
    const TPieceResults* Reduce(size_t piece, const double* const* bands, size_t begin, size_t end,
                                const TBandOrder& order);

private:
    struct TPiece {
        std::vector<std::vector<double>> Values;
        std::vector<std::vector<unsigned char>> Missing;
        std::vector<double*> ValuesAt;
        std::vector<unsigned char*> MissingAt;
        std::vector<TPieceResults> Results;
        TStackStatistic::TScratch Scratch;
        std::vector<const double*> Rows;
    };
    // Reduces `count` cells of the bands from `offset` on into the piece's results at `at`.
    void ReduceRun(TPiece& piece, const double* const* bands, size_t offset, size_t count, size_t at) const;

    const TStackStatistic& MbrRefStatistic;
    std::vector<double> MbrVecNoData;
    std::vector<TPiece> MbrVecPieces;
};
