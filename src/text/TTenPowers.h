#pragma once

#include <cstdint>

// The powers of ten that the number parser and the number formatter both scale by: the leading
// 128 bits of each, built at compile time. Internal to src/text/.
namespace TTenPowers {

using TU128 = unsigned __int128;

// floor(log2(10^k)) and floor(log10(2^e)) by fixed-point multiplication, exact for |k| <= 1233 and
// |e| <= 2620 (the first is also checked against every entry of the table below).
constexpr int FloorLog2Pow10(int k) { return (k * 1741647) >> 19; }
constexpr int FloorLog10Pow2(int e) { return (e * 315653) >> 20; }

// Every scale the formatter uses, P - 1 - floor(log10(x)) for P from 1 to 17 over all finite
// doubles, and every power of ten from the smallest subnormal up; below, down to the power that
// takes the parser's largest mantissa (10^19) under half the smallest subnormal.
constexpr int kMinTenPower = -342;
constexpr int kMaxTenPower = 340;

// 10^k = (hi 2^64 + lo + theta) 2^(FloorLog2Pow10(k) - 127) with 0 <= theta < 1: the leading 128 bits,
// rounded down. theta = 0 (the entry is exact) for 0 <= k <= 55, lo = 0 as well for 0 <= k <= 27.
struct TTenPower {
    uint64_t hi;
    uint64_t lo;
};
struct TTenPowerTable {
    // Apart, so that the leading words, all that most values need, lie close together.
    uint64_t hi[kMaxTenPower - kMinTenPower + 1];
    uint64_t lo[kMaxTenPower - kMinTenPower + 1];

    constexpr void Set(int k, TTenPower power)
    {
        hi[k - kMinTenPower] = power.hi;
        lo[k - kMinTenPower] = power.lo;
    }
    constexpr TTenPower operator[](int k) const { return TTenPower{hi[k - kMinTenPower], lo[k - kMinTenPower]}; }
};

// An unsigned number of 22 words, least significant first, for building the table at compile time.
struct TBig {
    uint64_t word[22];
};

constexpr int BitLength(const TBig& big)
{
    for (int w = 21; w >= 0; --w)
        if (big.word[w] != 0) return 64 * w + 64 - __builtin_clzll(big.word[w]);
    return 0;
}

constexpr TTenPower Leading128Bits(const TBig& big)
{
    const int shift = BitLength(big) - 128;
    TU128 bits = 0;
    if (shift <= 0) {
        bits = ((TU128(big.word[1]) << 64) | big.word[0]) << -shift;
    } else {
        const int w = shift / 64;
        const int bit = shift % 64;
        bits = ((TU128(big.word[w + 1]) << 64) | big.word[w]) >> bit;
        if (bit != 0) bits |= TU128(big.word[w + 2]) << (128 - bit);
    }
    return TTenPower{static_cast<uint64_t>(bits >> 64), static_cast<uint64_t>(bits)};
}

constexpr TTenPowerTable MakeTenPowers()
{
    TTenPowerTable table{};
    TBig power{};  // 10^k
    power.word[0] = 1;
    for (int k = 0; k <= kMaxTenPower; ++k) {
        if (BitLength(power) - 1 != FloorLog2Pow10(k)) throw "FloorLog2Pow10 is wrong";
        table.Set(k, Leading128Bits(power));
        TU128 carry = 0;
        for (uint64_t& word : power.word) {
            carry += TU128(word) * 10;
            word = static_cast<uint64_t>(carry);
            carry >>= 64;
        }
    }
    // floor(2^1279 / 10^j), by dividing by ten j times (floor of a floor is the floor of the whole
    // quotient); its leading bits are those of 10^-j, rounded down.
    TBig inverse{};
    inverse.word[19] = uint64_t(1) << 63;
    for (int j = 1; j <= -kMinTenPower; ++j) {
        TU128 remainder = 0;
        for (int w = 21; w >= 0; --w) {
            remainder = (remainder << 64) | inverse.word[w];
            inverse.word[w] = static_cast<uint64_t>(remainder / 10);
            remainder %= 10;
        }
        if (BitLength(inverse) - 1280 != FloorLog2Pow10(-j)) throw "FloorLog2Pow10 is wrong";
        table.Set(-j, Leading128Bits(inverse));
    }
    return table;
}

inline constexpr TTenPowerTable kTenPowers = MakeTenPowers();

}  // namespace TTenPowers
