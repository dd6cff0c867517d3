// The field at one point, eight metaballs at a time in AVX2 registers.
//
// Two divisions per metaball are most of a point's cost, and eight of them cost about as much
// as one. What cannot be shared out stays in order: the running total and the colour blend.
// The running total is kept as a vector whose lane j has added the contributions of the
// block's metaballs up to j, one after another on top of the total before the block; a lane
// past the current metaball adds 0, which changes no bits. So lane j holds exactly the total
// the one-by-one loop has at metaball j, and eight weights follow from one division.
// The colour blend walks each block's tinting metaballs in order as soon as the block's
// weights are known. Its branches are the only ones that depend on the data, so every
// contribution is computed before the first of them. No multiply-add is fused
// (-ffp-contract=off): every lane rounds as the one-by-one loop does, to the same bits.
//
// Compiled for AVX2 whatever the build's baseline, and only called where the CPU has it.
#include "field/MetaballSum.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

#include <immintrin.h>

#include <cstdint>

#define VORNELLE_AVX2 __attribute__((target("avx2")))
#define VORNELLE_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace
{

const int kLanes = 8;
const int kBlocks = (MetaballField::count + kLanes - 1) / kLanes;

// Eight lanes read from kLaneMasks + kLanes - j have lanes j..7 set.
alignas(32) const std::int32_t kLaneMasks[2 * kLanes] = {0,  0,  0,  0,  0,  0,  0,  0,
                                                         -1, -1, -1, -1, -1, -1, -1, -1};

VORNELLE_AVX2_INLINE __m256 lanesFrom(int j)
{
    return _mm256_castsi256_ps(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kLaneMasks + kLanes - j)));
}

VORNELLE_AVX2_INLINE __m256 broadcastLane(__m256 v, int lane)
{
    return _mm256_permutevar8x32_ps(v, _mm256_set1_epi32(lane));
}

// Past the last metaball the last one is repeated; nobody reads those lanes.
inline int ballInLane(int first, int lane)
{
    return first + lane < MetaballField::count ? first + lane : MetaballField::count - 1;
}

// x y x y of the metaballs in two neighbouring lanes: x and y are neighbours in the record.
VORNELLE_AVX2_INLINE __m128 positionsOfTwo(const Metaball* balls, int first, int lane)
{
    const float* a = &balls[ballInLane(first, lane)].x;
    const float* b = &balls[ballInLane(first, lane + 1)].x;
    const __m128i low = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a));
    const __m128i high = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b));
    return _mm_castsi128_ps(_mm_unpacklo_epi64(low, high));
}

// Squared distances from the point to metaballs first..first+7.
VORNELLE_AVX2_INLINE __m256 squaredDistances(const Metaball* balls, int first, __m256 pointPairs)
{
    const __m256 low =
        _mm256_set_m128(positionsOfTwo(balls, first, 2), positionsOfTwo(balls, first, 0));
    const __m256 high =
        _mm256_set_m128(positionsOfTwo(balls, first, 6), positionsOfTwo(balls, first, 4));
    const __m256 dLow = _mm256_sub_ps(pointPairs, low);
    const __m256 dHigh = _mm256_sub_ps(pointPairs, high);
    // dx * dx + dy * dy from neighbouring lanes, which hadd leaves in the order 0 1 4 5 2 3 6 7.
    const __m256 sums = _mm256_hadd_ps(_mm256_mul_ps(dLow, dLow), _mm256_mul_ps(dHigh, dHigh));
    return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(sums), 0xD8));
}

VORNELLE_AVX2_INLINE __m256 contributions(__m256 d2)
{
    const __m256 atCentre = _mm256_cmp_ps(d2, _mm256_setzero_ps(), _CMP_EQ_OQ);
    d2 = _mm256_blendv_ps(d2, _mm256_set1_ps(metaball_sum::kSmallestSquaredDistance), atCentre);
    return _mm256_div_ps(_mm256_set1_ps(metaball_sum::kFieldNumerator), d2);
}

// Lane j: the total before the block plus contributions 0..j of the block, in that order.
// Every lane from used - 1 on ends with the block's last total.
VORNELLE_AVX2_INLINE __m256 runningTotals(__m256 before, const float* contribution, int used)
{
    __m256 totals = before;
#pragma GCC unroll 8
    for (int j = 0; j < used; ++j)
    {
        const __m256 added = _mm256_and_ps(_mm256_broadcast_ss(contribution + j), lanesFrom(j));
        totals = _mm256_add_ps(totals, added);
    }
    return totals;
}

// Pulls the colour (r, g, b, unused) towards each tinting metaball's own, in order.
VORNELLE_AVX2_INLINE __m128 blendTints(__m128 colour, unsigned tints, const float* weights,
                                       const Metaball* balls)
{
    const __m128 one = _mm_set1_ps(1.0f);
    while (tints != 0)
    {
        const int k = __builtin_ctz(tints);
        tints &= tints - 1;
        const __m128 weight = _mm_broadcast_ss(weights + k);
        const __m128 own = _mm_loadu_ps(&balls[k].r); // r, g, b and then x, which is ignored
        colour = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(one, weight), colour), _mm_mul_ps(weight, own));
    }
    return colour;
}

} // namespace

namespace metaball_sum
{

VORNELLE_AVX2 FieldSample eightAtATime(const Metaball* balls, const Vec2& point)
{
    const __m256 pointPairs =
        _mm256_setr_ps(point.x, point.y, point.x, point.y, point.x, point.y, point.x, point.y);
    const __m256 cutoff = _mm256_set1_ps(kColourWeightCutoff);
    // Every contribution first: a mispredicted branch in the colour blend below then never
    // throws away a division that the later blocks still need.
    alignas(32) float contributionOf[kBlocks * kLanes];
#pragma GCC unroll 8
    for (int block = 0; block < kBlocks; ++block)
        _mm256_store_ps(contributionOf + block * kLanes,
                        contributions(squaredDistances(balls, block * kLanes, pointPairs)));

    __m256 totals = _mm256_setzero_ps();
    __m128 colour = _mm_setzero_ps();
#pragma GCC unroll 8
    for (int block = 0; block < kBlocks; ++block)
    {
        const int first = block * kLanes;
        const int used =
            MetaballField::count - first < kLanes ? MetaballField::count - first : kLanes;
        totals = runningTotals(broadcastLane(totals, kLanes - 1), contributionOf + first, used);

        alignas(32) float weightOf[kLanes];
        const __m256 weight = _mm256_div_ps(_mm256_load_ps(contributionOf + first), totals);
        _mm256_store_ps(weightOf, weight);
        const unsigned tints =
            static_cast<unsigned>(_mm256_movemask_ps(_mm256_cmp_ps(weight, cutoff, _CMP_GT_OQ))) &
            ((1u << used) - 1u);
        colour = blendTints(colour, tints, weightOf, balls + first);
    }
    alignas(16) float rgb[4];
    _mm_store_ps(rgb, colour);
    const float total = _mm256_cvtss_f32(broadcastLane(totals, kLanes - 1));
    return FieldSample{total, rgb[0], rgb[1], rgb[2]};
}

bool eightAtATimeRuns()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

} // namespace metaball_sum

#else

namespace metaball_sum
{

FieldSample eightAtATime(const Metaball* balls, const Vec2& point)
{
    return oneByOne(balls, point);
}

bool eightAtATimeRuns()
{
    return false;
}

} // namespace metaball_sum

#endif
