// A row of points evaluated side by side, one point per vector lane.
//
// Within one point the running total and the colour blend are serial, but neighbouring points
// are independent: each lane walks the metaballs in order with its own total and colour, doing
// exactly the operations of the one-by-one loop. Tinting is a per-lane choice that leaves the
// other lanes untouched, and is skipped altogether when no lane tints (after the first few
// metaballs most points' running totals are too large for that). No multiply-add is fused
// (-ffp-contract=off) and the divisions are exact ones, so every lane has the same bits as the
// one-by-one loop at its point.
//
// The same source is compiled once per instruction set through target attributes and chosen at
// run time, so the default build still runs on any x86-64. Each vector is exactly one register
// wide: GCC turns a per-lane choice on a wider vector into one branch per lane. Sixteen points
// go side by side in one AVX-512 or two AVX registers, eight in two SSE ones; whatever a row
// holds beyond whole groups goes through groups of four.
#include "field/MetaballSum.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

#define VORNELLE_IN_CALLER __attribute__((always_inline)) inline

namespace
{

const int kNarrowLanes = 4;

// N lanes fill one register of the instruction set; K registers side by side let the
// processor work on one while another waits for its division.
template <int N, int K> struct Lanes
{
    typedef float Values __attribute__((vector_size(4 * N)));

    Values value[K], r[K], g[K], b[K];
};

template <int Bytes> struct PairsOfLanes
{
    typedef long long Values __attribute__((vector_size(Bytes)));
};

// Whether any lane of a comparison's result is set, read two lanes at a time.
template <class Mask> VORNELLE_IN_CALLER bool anyLane(const Mask& mask)
{
    using Pairs = typename PairsOfLanes<sizeof(Mask)>::Values;
    const Pairs pairs = reinterpret_cast<Pairs>(mask);
    long long any = 0;
    for (unsigned i = 0; i < sizeof(Mask) / sizeof(long long); ++i)
        any |= pairs[i];
    return any != 0;
}

template <int N, int K>
VORNELLE_IN_CALLER void sumInLanes(const Metaball* balls, const typename Lanes<N, K>::Values* px,
                                   float py, Lanes<N, K>& out)
{
    using Values = typename Lanes<N, K>::Values;
    Values total[K] = {}, r[K] = {}, g[K] = {}, b[K] = {};
    for (int i = 0; i < MetaballField::count; ++i)
    {
        const Metaball& ball = balls[i];
        const float dy = py - ball.y;
#pragma GCC unroll 4
        for (int k = 0; k < K; ++k)
        {
            const Values dx = px[k] - ball.x;
            Values d2 = dx * dx + dy * dy;
            d2 = d2 == 0.0f ? metaball_sum::kSmallestSquaredDistance : d2;
            const Values contribution = metaball_sum::kFieldNumerator / d2;
            total[k] = total[k] + contribution;
            const Values weight = contribution / total[k];
            const auto tints = weight > metaball_sum::kColourWeightCutoff;
            if (!anyLane(tints))
                continue;
            const Values rest = 1.0f - weight;
            r[k] = tints ? rest * r[k] + weight * ball.r : r[k];
            g[k] = tints ? rest * g[k] + weight * ball.g : g[k];
            b[k] = tints ? rest * b[k] + weight * ball.b : b[k];
        }
    }
    for (int k = 0; k < K; ++k)
    {
        out.value[k] = total[k];
        out.r[k] = r[k];
        out.g[k] = g[k];
        out.b[k] = b[k];
    }
}

// Points xs[0..used) at height y; the lanes past used repeat the last point and are dropped.
template <int N, int K>
VORNELLE_IN_CALLER void sumGroup(const Metaball* balls, float y, const float* xs, int used,
                                 FieldSample* out)
{
    typename Lanes<N, K>::Values px[K];
    for (int point = 0; point < N * K; ++point)
        px[point / N][point % N] = xs[point < used ? point : used - 1];
    Lanes<N, K> lanes;
    sumInLanes<N, K>(balls, px, y, lanes);
    for (int point = 0; point < used; ++point)
    {
        const int k = point / N, lane = point % N;
        out[point] =
            FieldSample{lanes.value[k][lane], lanes.r[k][lane], lanes.g[k][lane], lanes.b[k][lane]};
    }
}

// Groups of N * K points while the row has that many left, then groups of four.
template <int N, int K>
VORNELLE_IN_CALLER void sumRow(const Metaball* balls, float y, const float* xs, int count,
                               FieldSample* out)
{
    const int wide = N * K;
    int first = 0;
    for (; first + wide <= count; first += wide)
        sumGroup<N, K>(balls, y, xs + first, wide, out + first);
    for (; K > 1 && first + N <= count; first += N)
        sumGroup<N, 1>(balls, y, xs + first, N, out + first);
    for (; first < count; first += kNarrowLanes)
    {
        const int left = count - first;
        sumGroup<kNarrowLanes, 1>(balls, y, xs + first, left < kNarrowLanes ? left : kNarrowLanes,
                                  out + first);
    }
}

__attribute__((target("avx512f"))) void
rowInAvx512Lanes(const Metaball* balls, float y, const float* xs, int count, FieldSample* out)
{
    sumRow<16, 1>(balls, y, xs, count, out);
}

__attribute__((target("avx2"))) void rowInAvx2Lanes(const Metaball* balls, float y, const float* xs,
                                                    int count, FieldSample* out)
{
    sumRow<8, 2>(balls, y, xs, count, out);
}

__attribute__((target("sse2"))) void rowInSse2Lanes(const Metaball* balls, float y, const float* xs,
                                                    int count, FieldSample* out)
{
    sumRow<4, 2>(balls, y, xs, count, out);
}

} // namespace

namespace metaball_sum
{

int rowWaysThatRunHere(RowWay (&ways)[kMostRowWays])
{
    __builtin_cpu_init();
    int found = 0;
    ways[found++] = RowWay{"rows one by one", rowOneByOne};
    if (__builtin_cpu_supports("sse2"))
        ways[found++] = RowWay{"rows in SSE2 lanes", rowInSse2Lanes};
    if (__builtin_cpu_supports("avx2"))
        ways[found++] = RowWay{"rows in AVX2 lanes", rowInAvx2Lanes};
    if (__builtin_cpu_supports("avx512f"))
        ways[found++] = RowWay{"rows in AVX-512 lanes", rowInAvx512Lanes};
    return found;
}

} // namespace metaball_sum

#else

namespace metaball_sum
{

int rowWaysThatRunHere(RowWay (&ways)[kMostRowWays])
{
    ways[0] = RowWay{"rows one by one", rowOneByOne};
    return 1;
}

} // namespace metaball_sum

#endif
