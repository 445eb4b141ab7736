#include "picture/TPixelPercentiles.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// The ranks each percent lies between, as numpy places them among `finite` values, and how far
// between them it lies.
struct TPlace {
    uint32_t Below;
    uint32_t Above;
    double Fraction;
};

TPlace Place(uint32_t finite, double percent)
{
    const double position = static_cast<double>(finite - 1) * (percent / 100);
    const double below = std::min(std::floor(position), static_cast<double>(finite - 1));
    const uint32_t index = static_cast<uint32_t>(below);
    return TPlace{index, std::min(index + 1, finite - 1), position - below};
}

double ValueAt(const TPlace& place, uint32_t belowKey, uint32_t aboveKey)
{
    const double below = ValueOfKey(belowKey);
    return place.Fraction == 0 ? below : Interpolate(below, ValueOfKey(aboveKey), place.Fraction);
}

// Every finite key of the finite values, with their number as finite.
constexpr uint32_t kLowestKey = 0x00800000u;   // -FLT_MAX
constexpr uint32_t kHighestKey = 0xff7fffffu;  // FLT_MAX

inline bool IsFiniteKey(uint32_t key) { return key - kLowestKey <= kHighestKey - kLowestKey; }

// Below this many values every finite key is collected and the ranks selected among them.
constexpr size_t kFewValues = size_t(1) << 16;
// The sample: one value from each of this many equal stretches of the values, at a place in it
// drawn from the stretch's number.
constexpr size_t kStretches = 8192;
// How far beyond a rank's place in the sample its interval reaches: this many standard
// deviations of a sample rank, and a few ranks more.
constexpr double kDeviations = 4;
constexpr double kExtraRanks = 3;

inline uint64_t Mixed(uint64_t value)
{
    value ^= value >> 31;
    value *= 0x9e3779b97f4a7c15ULL;
    value ^= value >> 29;
    value *= 0xbf58476d1ce4e5b9ULL;
    return value ^ (value >> 32);
}

// An interval of keys, from the sample, that should hold the two ranks of one percent: how many
// finite keys lie below it, and the keys in it, up to a limit. Where an end's key may have many
// values (it repeats in the sample), the values at the ends are counted instead, and only those
// strictly inside kept.
struct TInterval {
    uint32_t Low;
    uint32_t High;  // >= Low
    bool EndsCounted = false;
    uint32_t Below = 0;
    uint32_t AtLow = 0;
    uint32_t AtHigh = 0;  // 0 when High == Low
    std::vector<uint32_t> Inner;
    size_t Capacity = 0;
    bool Overflowed = false;

    bool Holds(uint32_t key) const { return EndsCounted ? key > Low && key < High : key >= Low && key <= High; }
    void Take(uint32_t key)
    {
        if (Inner.size() < Capacity)
            Inner.push_back(key);
        else
            Overflowed = true;
    }

    // The keys of the place's two ranks, unless the interval does not hold them.
    bool Resolve(const TPlace& place, uint32_t& below, uint32_t& above)
    {
        if (Overflowed || place.Below < Below || place.Above - Below >= AtLow + Inner.size() + AtHigh) return false;
        const size_t first = place.Below - Below;
        const size_t second = place.Above - Below;
        const bool firstAtEnd = AtEnd(first, below);
        const bool secondAtEnd = AtEnd(second, above);
        if (!firstAtEnd && !secondAtEnd)
            SelectAmong(first - AtLow, second - AtLow, below, above);
        else if (!firstAtEnd)
            SelectAmong(first - AtLow, first - AtLow, below, below);
        else if (!secondAtEnd)
            SelectAmong(second - AtLow, second - AtLow, above, above);
        return true;
    }

private:
    // The key of the rank when it is one of those counted at an end.
    bool AtEnd(size_t rank, uint32_t& key) const
    {
        if (rank < AtLow) {
            key = Low;
            return true;
        }
        if (rank - AtLow >= Inner.size()) {
            key = High;
            return true;
        }
        return false;
    }

    // The keys of ranks `first` and `second` (first or first + 1) among Inner: a histogram of
    // 2048 bins over [Low, High] finds their bins, and nth_element the ranks among the keys of
    // those.
    void SelectAmong(size_t first, size_t second, uint32_t& firstKey, uint32_t& secondKey)
    {
        std::vector<uint32_t>* keys = &Inner;
        std::vector<uint32_t> inBins;
        if (Inner.size() > 4096) {
            constexpr uint32_t kBins = 2048;
            unsigned shift = 0;
            while (((High - Low) >> shift) >= kBins) ++shift;
            std::vector<uint32_t> bins(kBins, 0);
            for (const uint32_t key : Inner) ++bins[(key - Low) >> shift];
            uint32_t bin = 0;
            size_t before = 0;
            while (before + bins[bin] <= first) before += bins[bin++];
            uint32_t lastBin = bin;
            for (size_t through = before + bins[bin]; through <= second;) through += bins[++lastBin];
            for (const uint32_t key : Inner)
                if (((key - Low) >> shift) - bin <= lastBin - bin) inBins.push_back(key);
            keys = &inBins;
            first -= before;
            second -= before;
        }
        std::nth_element(keys->begin(), keys->begin() + static_cast<std::ptrdiff_t>(first), keys->end());
        firstKey = (*keys)[first];
        secondKey = second == first ? firstKey : *std::min_element(keys->begin() + static_cast<std::ptrdiff_t>(second), keys->end());
    }
};

// The intervals, from a sample of the values. Returns whether their ends are to be counted.
bool SampleIntervals(const float* values, size_t count, const double (&percents)[2], TInterval (&intervals)[2])
{
    std::vector<uint32_t> sample;
    sample.reserve(kStretches);
    for (size_t j = 0; j < kStretches; ++j) {
        const size_t start = static_cast<size_t>(uint64_t(count) * j / kStretches);
        const size_t end = static_cast<size_t>(uint64_t(count) * (j + 1) / kStretches);
        const uint32_t key = OrderedKey(values[start + static_cast<size_t>(Mixed(j) % (end - start))]);
        if (IsFiniteKey(key)) sample.push_back(key);
    }
    const long size = static_cast<long>(sample.size());
    // The sample's ranks at the ends of each interval, selected in increasing order.
    long ends[4];
    for (int k = 0; k < 2; ++k) {
        const double q = std::min(std::max(percents[k] / 100, 0.0), 1.0);
        const double place = static_cast<double>(size - 1) * q;
        const double margin = kDeviations * std::sqrt(static_cast<double>(size) * q * (1 - q)) + kExtraRanks;
        ends[2 * k] = static_cast<long>(std::floor(place - margin));
        ends[2 * k + 1] = static_cast<long>(std::ceil(place + margin)) + 1;
    }
    long order[4] = {ends[0], ends[1], ends[2], ends[3]};
    std::sort(order, order + 4);
    long from = 0;
    for (long rank : order) {
        if (rank < from || rank >= size) continue;
        std::nth_element(sample.begin() + from, sample.begin() + rank, sample.end());
        from = rank + 1;
    }
    bool countEnds = false;
    const size_t capacity = count / 32 + 4096;
    for (int k = 0; k < 2; ++k) {
        TInterval& interval = intervals[k];
        interval.Low = ends[2 * k] < 0 || size == 0 ? kLowestKey : sample[static_cast<size_t>(ends[2 * k])];
        interval.High = ends[2 * k + 1] >= size ? kHighestKey : sample[static_cast<size_t>(ends[2 * k + 1])];
        interval.Capacity = capacity;
        interval.Inner.reserve(std::min(capacity, count / 64));
        for (const uint32_t end : {interval.Low, interval.High})
            countEnds = countEnds || std::count(sample.begin(), sample.end(), end) > 1;
    }
    for (TInterval& interval : intervals) interval.EndsCounted = countEnds;
    return countEnds;
}

// The keys of values[0..count) in each interval, kept; apart from the counting loop, which
// thus keeps its counters in registers.
#if defined(__GNUC__) || defined(__clang__)
__attribute__((noinline))
#endif
void TakeInner(const float* values, size_t count, TInterval (&intervals)[2])
{
    for (size_t i = 0; i < count; ++i) {
        const uint32_t key = OrderedKey(values[i]);
        for (TInterval& interval : intervals)
            if (interval.Holds(key)) interval.Take(key);
    }
}

// One pass over the values: the finite ones counted, and each placed against the intervals.
template <bool kCountEnds>
uint32_t CountAndCollect(const float* values, size_t count, TInterval (&intervals)[2])
{
    uint32_t finite = 0;
    size_t i = 0;
#ifdef __SSE2__
    // As signed 32-bit numbers, the keys with their top bit flipped keep their order: SSE2
    // compares only those. Each lane counts by subtracting its all-ones comparisons; none counts
    // past count / 4. Every counter a variable of its own, so that all stay in registers.
    auto flipped = [](uint32_t key) { return _mm_set1_epi32(static_cast<int>(key ^ 0x80000000u)); };
    const __m128i magnitude = _mm_set1_epi32(0x7fffffff);
    const __m128i lowest = flipped(kLowestKey);
    const __m128i beyondHighest = flipped(kHighestKey + 1);
    const __m128i low0 = flipped(intervals[0].Low);
    const __m128i low1 = flipped(intervals[1].Low);
    // The ends of the keys kept: up to High, or up to and without it.
    const __m128i beyond0 = flipped(intervals[0].High + (kCountEnds ? 0 : 1));
    const __m128i beyond1 = flipped(intervals[1].High + (kCountEnds ? 0 : 1));
    __m128i belowLowest = _mm_setzero_si128();
    __m128i notAbove = _mm_setzero_si128();
    __m128i below0 = _mm_setzero_si128(), atLow0 = _mm_setzero_si128(), atHigh0 = _mm_setzero_si128();
    __m128i below1 = _mm_setzero_si128(), atLow1 = _mm_setzero_si128(), atHigh1 = _mm_setzero_si128();
    // One group of four values: its keys counted, and the lanes to keep.
    auto group = [&](const float* at) {
        const __m128i bits = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i key = _mm_xor_si128(bits, _mm_and_si128(_mm_srai_epi32(bits, 31), magnitude));
        belowLowest = _mm_sub_epi32(belowLowest, _mm_cmplt_epi32(key, lowest));
        notAbove = _mm_sub_epi32(notAbove, _mm_cmplt_epi32(key, beyondHighest));
        __m128i under0 = _mm_cmplt_epi32(key, low0);
        __m128i under1 = _mm_cmplt_epi32(key, low1);
        below0 = _mm_sub_epi32(below0, under0);
        below1 = _mm_sub_epi32(below1, under1);
        if (kCountEnds) {
            const __m128i equal0 = _mm_cmpeq_epi32(key, low0);
            const __m128i equal1 = _mm_cmpeq_epi32(key, low1);
            atLow0 = _mm_sub_epi32(atLow0, equal0);
            atLow1 = _mm_sub_epi32(atLow1, equal1);
            atHigh0 = _mm_sub_epi32(atHigh0, _mm_cmpeq_epi32(key, beyond0));
            atHigh1 = _mm_sub_epi32(atHigh1, _mm_cmpeq_epi32(key, beyond1));
            under0 = _mm_or_si128(under0, equal0);
            under1 = _mm_or_si128(under1, equal1);
        }
        return _mm_or_si128(_mm_andnot_si128(under0, _mm_cmplt_epi32(key, beyond0)),
                            _mm_andnot_si128(under1, _mm_cmplt_epi32(key, beyond1)));
    };
    // Stretches of pairs of groups, the pairs with a value to keep noted without a branch (with
    // the lanes that hold them) and their values taken after the stretch: no call in the loop, no
    // register spilled.
    constexpr size_t kPairs = 512;
    uint32_t noted[kPairs];
    while (i + 8 <= count) {
        const size_t pairs = std::min(kPairs, (count - i) / 8);
        size_t notes = 0;
        for (size_t g = 0; g < pairs; ++g, i += 8) {
            const int lanes = _mm_movemask_ps(_mm_castsi128_ps(group(values + i))) |
                              _mm_movemask_ps(_mm_castsi128_ps(group(values + i + 4))) << 4;
            noted[notes] = static_cast<uint32_t>(g << 8 | static_cast<size_t>(lanes));
            notes += lanes != 0;
        }
        const float* stretch = values + i - 8 * pairs;
        for (size_t n = 0; n < notes; ++n) {
            const float* pair = stretch + 8 * size_t(noted[n] >> 8);
            for (unsigned lane = 0; lane < 8; ++lane)
                if (noted[n] >> lane & 1) TakeInner(pair + lane, 1, intervals);
        }
    }
    auto sum = [](__m128i lanes) {
        uint32_t part[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(part), lanes);
        return part[0] + part[1] + part[2] + part[3];
    };
    // Keys below the lowest finite one are those of -inf and of NaN with the sign bit set.
    const uint32_t nonFiniteBelow = sum(belowLowest);
    finite = sum(notAbove) - nonFiniteBelow;
    intervals[0].Below = sum(below0) - nonFiniteBelow;
    intervals[1].Below = sum(below1) - nonFiniteBelow;
    intervals[0].AtLow = sum(atLow0);
    intervals[1].AtLow = sum(atLow1);
    intervals[0].AtHigh = sum(atHigh0);
    intervals[1].AtHigh = sum(atHigh1);
#endif
    const size_t start = i;
    for (; i < count; ++i) {
        const uint32_t key = OrderedKey(values[i]);
        if (!IsFiniteKey(key)) continue;
        ++finite;
        for (TInterval& interval : intervals) {
            interval.Below += key < interval.Low;
            if (kCountEnds) {
                interval.AtLow += key == interval.Low;
                interval.AtHigh += key == interval.High;
            }
        }
    }
    TakeInner(values + start, count - start, intervals);
    // An interval of one key counted its values at both ends.
    for (TInterval& interval : intervals)
        if (interval.High == interval.Low) interval.AtHigh = 0;
    return finite;
}

}  // namespace

size_t TPixelPercentiles::Select(const float* values, size_t count, double lowPercent, double highPercent,
                                 double& low, double& high)
{
    if (count >= (size_t(1) << 32)) throw "Too many values in TPixelPercentiles";
    if (count < kFewValues) {
        std::vector<uint32_t> keys;
        keys.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            const uint32_t key = OrderedKey(values[i]);
            if (IsFiniteKey(key)) keys.push_back(key);
        }
        if (keys.empty()) return 0;
        const uint32_t finite = static_cast<uint32_t>(keys.size());
        double* results[2] = {&low, &high};
        const double percents[2] = {lowPercent, highPercent};
        for (int k = 0; k < 2; ++k) {
            const TPlace place = Place(finite, percents[k]);
            std::nth_element(keys.begin(), keys.begin() + place.Below, keys.end());
            const uint32_t below = keys[place.Below];
            const uint32_t above = place.Above == place.Below ? below : *std::min_element(keys.begin() + place.Above, keys.end());
            *results[k] = ValueAt(place, below, above);
        }
        return finite;
    }

    const double percents[2] = {lowPercent, highPercent};
    TInterval intervals[2];
    const uint32_t finite = SampleIntervals(values, count, percents, intervals) ? CountAndCollect<true>(values, count, intervals)
                                                                                : CountAndCollect<false>(values, count, intervals);
    if (finite == 0) return 0;
    uint32_t keys[4];
    const bool held = intervals[0].Resolve(Place(finite, lowPercent), keys[0], keys[1]) &&
                      intervals[1].Resolve(Place(finite, highPercent), keys[2], keys[3]);
    // A sample that misled: the radix selection, whatever the values.
    if (!held) return SelectByRadix(values, count, lowPercent, highPercent, low, high);
    low = ValueAt(Place(finite, lowPercent), keys[0], keys[1]);
    high = ValueAt(Place(finite, highPercent), keys[2], keys[3]);
    return finite;
}

size_t TPixelPercentiles::SelectByRadix(const float* values, size_t count, double lowPercent, double highPercent,
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

    const TPlace places[2] = {Place(finite, lowPercent), Place(finite, highPercent)};
    std::vector<TRank> ranks;
    for (const TPlace& place : places) {
        ranks.push_back(TRank{place.Below});
        ranks.push_back(TRank{place.Above});
    }
    for (TRank& rank : ranks) {
        uint32_t bin = kFirstFinite;
        while (rank.Before + top[bin] <= rank.Index) rank.Before += top[bin++];
        rank.Key = bin << kTopBits;
    }
    lanes.reset();
    FindLowBits(values, count, ranks);

    low = ValueAt(places[0], ranks[0].Key, ranks[1].Key);
    high = ValueAt(places[1], ranks[2].Key, ranks[3].Key);
    return finite;
}
