#include "ops/TCentreLookup.h"

#include "grid/TMap.h"
#include "grid/TPoint.h"

#include "TestSupport.h"
#include "ops/TwoMapCases.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

using namespace TwoMapCases;

namespace {

// Whether the map's own lookup puts the centre of every base cell (x, y) in the other map's
// cell (x, y).
bool EveryCentreInItsNamesake(TMap* base, TMap* other)
{
    for (long y = 0; y < base->GetYDim(); ++y) {
        for (long x = 0; x < base->GetXDim(); ++x) {
            std::unique_ptr<TPoint> centre(base->GetCoordinates(x, y));
            long column = -1, row = -1;
            ThrownMessage([&] { other->LocateCell(centre.get(), TMap::TCellAccess::GetPointVal, column, row); });
            if (column != x || row != y) return false;
        }
    }
    return true;
}

}  // namespace

TEST(CentreLookup, PairsByIndexExactlyWhenEveryCentreLiesInItsNamesake)
{
    std::mt19937 random(18);
    for (TPartner partner : kPartners) {
        // Only the first three lay every centre in its namesake when the base is the first map.
        const bool laidAsNamesakes = partner == TPartner::SameAxes || partner == TPartner::LargerEastAndSouth ||
                                     partner == TPartner::ShiftedInsideTheCell;
        for (int trial = 0; trial < 40; ++trial) {
            TPair pair = RandomPair(random, partner);
            const bool namesakes = laidAsNamesakes && !pair.Ascending;
            for (bool swapped : {false, true}) {
                TMap* base = swapped ? pair.Other.get() : pair.Base.get();
                TMap* other = swapped ? pair.Base.get() : pair.Other.get();
                const TCentreLookup lookup(base, other);
                const bool expected = EveryCentreInItsNamesake(base, other);
                EXPECT_EQ(lookup.PairsByIndex(), expected) << static_cast<int>(partner) << " " << swapped;
                if (!swapped) {
                    EXPECT_EQ(expected, namesakes) << static_cast<int>(partner);
                } else if (partner == TPartner::SameAxes) {
                    EXPECT_EQ(expected, namesakes);
                }

                // Whichever the pairing, each value is the lookup's, with the lookup's message.
                const TReference reference = CellByCell(base, other, [](double, double o) { return o; });
                TRows values;
                const std::string message = ThrownMessage([&] {
                    for (long y = 0; y < base->GetYDim(); ++y) {
                        values.emplace_back();
                        for (long x = 0; x < base->GetXDim(); ++x) values.back().push_back(lookup.ValueAt(x, y));
                    }
                });
                EXPECT_EQ(message, reference.Message);
                if (message == "<no throw>") {
                    EXPECT_TRUE(SameCells(values, reference.Cells));
                }
            }
        }
    }
}
