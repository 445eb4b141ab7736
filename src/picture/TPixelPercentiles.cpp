#include "picture/TPixelPercentiles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The float's bits turned so that unsigned order is the order of the values (-0 just below +0).
inline uint32_t OrderedKey(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits ^ ((0u - (bits >> 31)) | 0x80000000u);
}

inline float ValueOfKey(uint32_t key)
{
    const uint32_t bits = key & 0x80000000u ? key ^ 0x80000000u : ~key;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

constexpr int kTopBits = 16;
constexpr uint32_t kTopBins = uint32_t(1) << kTopBits;
// The keys of NaN and of the infinities have top bits outside [kFirstFinite, kLastFinite]; those of
// every finite float inside.
constexpr uint32_t kFirstFinite = 0x0080;
constexpr uint32_t kLastFinite = 0xff7f;
// Independent histograms for neighbouring values, which often fall into one bin: each increment
// then need not wait for the one before.
constexpr int kLanes = 4;

// One rank being selected: its index among the sorted finite values, and what is known of its key.
struct TRank {
    uint32_t Index;
    uint32_t Key = 0;     // the top bits found so far, in place
    uint32_t Before = 0;  // how many values have keys below those top bits
};

// Finds the low 16 bits of each rank's key among the values whose top bits equal the rank's.
void FindLowBits(const float* values, size_t count, std::vector<TRank>& ranks)
{
    // At most 4 distinct prefixes; unused slots hold one that no key has.
    constexpr uint32_t kNone = 0xffffffffu;
    uint32_t prefixes[4] = {kNone, kNone, kNone, kNone};
    size_t distinct = 0;
    for (const TRank& rank : ranks) {
        const uint32_t prefix = rank.Key >> kTopBits;
        if (std::find(prefixes, prefixes + distinct, prefix) == prefixes + distinct) prefixes[distinct++] = prefix;
    }
    const uint32_t p0 = prefixes[0], p1 = prefixes[1], p2 = prefixes[2], p3 = prefixes[3];
    std::unique_ptr<uint32_t[]> counts(new uint32_t[distinct * kTopBins]());
    uint32_t* bins = counts.get();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t key = OrderedKey(values[i]);
        const uint32_t top = key >> kTopBits;
        // One branch, rarely taken: most values lie in other bins.
        if ((top == p0) | (top == p1) | (top == p2) | (top == p3)) {
            const size_t slot = top == p0 ? 0 : top == p1 ? 1 : top == p2 ? 2 : 3;
            ++bins[slot * kTopBins + (key & (kTopBins - 1))];
        }
    }
    for (TRank& rank : ranks) {
        const size_t slot = static_cast<size_t>(std::find(prefixes, prefixes + distinct, rank.Key >> kTopBits) - prefixes);
        const uint32_t* bin = bins + slot * kTopBins;
        uint32_t digit = 0;
        while (rank.Before + bin[digit] <= rank.Index) rank.Before += bin[digit++];
        rank.Key |= digit;
    }
}

// numpy's linear interpolation between two neighbouring ranks.
double Interpolate(double below, double above, double t)
{
    const double difference = above - below;
    return t >= 0.5 ? above - difference * (1 - t) : below + difference * t;
}

}  // namespace

size_t TPixelPercentiles::Select(const float* values, size_t count, double lowPercent, double highPercent,
                                 double& low, double& high)
{
    if (count >= (size_t(1) << 32)) throw "Too many values in TPixelPercentiles";
    std::unique_ptr<uint32_t[]> lanes(new uint32_t[kLanes * kTopBins]());
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
        for (int lane = 0; lane < kLanes; ++lane) ++lanes[lane * kTopBins + (OrderedKey(values[i + lane]) >> kTopBits)];
    for (; i < count; ++i) ++lanes[OrderedKey(values[i]) >> kTopBits];
    // The lanes added up into the first.
    uint32_t* top = lanes.get();
    uint32_t finite = 0;
    for (uint32_t bin = kFirstFinite; bin <= kLastFinite; ++bin) {
        for (int lane = 1; lane < kLanes; ++lane) top[bin] += lanes[lane * kTopBins + bin];
        finite += top[bin];
    }
    if (finite == 0) return 0;

    // The two ranks each percent lies between, as numpy places them.
    const double percents[2] = {lowPercent, highPercent};
    double fractions[2];
    std::vector<TRank> ranks;
    for (int k = 0; k < 2; ++k) {
        const double position = static_cast<double>(finite - 1) * (percents[k] / 100);
        const double below = std::min(std::floor(position), static_cast<double>(finite - 1));
        fractions[k] = position - below;
        const uint32_t index = static_cast<uint32_t>(below);
        ranks.push_back(TRank{index});
        ranks.push_back(TRank{std::min(index + 1, finite - 1)});
    }
    for (TRank& rank : ranks) {
        uint32_t bin = kFirstFinite;
        while (rank.Before + top[bin] <= rank.Index) rank.Before += top[bin++];
        rank.Key = bin << kTopBits;
    }
    lanes.reset();
    FindLowBits(values, count, ranks);

    double* results[2] = {&low, &high};
    for (int k = 0; k < 2; ++k) {
        const double below = ValueOfKey(ranks[2 * k].Key);
        const double above = ValueOfKey(ranks[2 * k + 1].Key);
        *results[k] = fractions[k] == 0 ? below : Interpolate(below, above, fractions[k]);
    }
    return finite;
}
