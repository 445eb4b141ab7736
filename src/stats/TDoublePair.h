#pragma once

// Two doubles in one vector register, for loops whose two lanes (or two cells) the compiler
// would not pair by itself. Each operation is the scalar one lane by lane, so results are
// exactly those of the scalar code. GCC and Clang only (their vector extensions), which define
// GRIDMEAN_DOUBLE_PAIRS; elsewhere callers keep their scalar loops.
#if defined(__GNUC__)
#define GRIDMEAN_DOUBLE_PAIRS 1

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace TDoublePair {

// Always inlined: loops compiled with options of their own use them, across which GCC would
// not inline them otherwise.
#define GRIDMEAN_PAIR_INLINE __attribute__((always_inline)) inline

typedef double TPair __attribute__((vector_size(2 * sizeof(double))));
// A lane's mask: all ones (true) or all zeros, as comparisons of pairs give them.
typedef int64_t TMask __attribute__((vector_size(2 * sizeof(double))));

GRIDMEAN_PAIR_INLINE TPair Load(const double* from)
{
    TPair pair;
    std::memcpy(&pair, from, sizeof pair);
    return pair;
}

// std::max(acc, value) in each lane: value where acc < value, else acc (also for a NaN value).
GRIDMEAN_PAIR_INLINE TPair Raise(TPair acc, TPair value)
{
#if defined(__SSE2__)
    return _mm_max_pd(value, acc);  // value > acc ? value : acc
#else
    const TMask up = (TMask)(acc < value);
    return (TPair)(((TMask)value & up) | ((TMask)acc & ~up));
#endif
}

// The square root in each lane.
GRIDMEAN_PAIR_INLINE TPair Sqrt(TPair value)
{
#if defined(__SSE2__)
    return _mm_sqrt_pd(value);
#else
    return TPair{__builtin_sqrt(value[0]), __builtin_sqrt(value[1])};
#endif
}

// chosen where the mask is all ones, otherwise other, lane by lane.
GRIDMEAN_PAIR_INLINE TPair Select(TMask mask, TPair chosen, TPair other)
{
    return (TPair)(((TMask)chosen & mask) | ((TMask)other & ~mask));
}

// |value| in each lane whose mask is all ones, +0 where it is zero.
GRIDMEAN_PAIR_INLINE TPair Magnitude(TPair value, TMask used)
{
    const TMask magnitude = ~(TMask{1, 1} << 63);
    return (TPair)((TMask)value & magnitude & used);
}

// All ones in each lane that lacks data: equal to the no-data value, or NaN where NaN is missing.
template <bool NaNIsMissing>
GRIDMEAN_PAIR_INLINE TMask Lacks(TPair value, TPair noData)
{
#if defined(__SSE2__)
    // The intrinsics, where GCC would turn an or of the vector comparisons into selects.
    __m128d lacks = _mm_cmpeq_pd(value, noData);
    if (NaNIsMissing) lacks = _mm_or_pd(lacks, _mm_cmpunord_pd(value, value));
    return (TMask)lacks;
#else
    TMask lacks = (TMask)(value == noData);
    if (NaNIsMissing) lacks |= (TMask)(value != value);
    return lacks;
#endif
}

}  // namespace TDoublePair
#endif
