// Sixteen points side by side in vector registers of the widest kind the CPU has (one AVX-512,
// two AVX or four SSE registers), and -ffp-contract=off keeps every multiply and add rounded on
// its own, as in the plain loop. Each register is a vector of its own width: GCC turns a
// comparison on a vector wider than the registers into one branch per lane.
#include "bench/LatticeSampling.h"

#include "field/MetaballField.h"

using namespace marching;

namespace
{

const int kLanes = 16;

struct LaneSamples
{
    float value[kLanes], r[kLanes], g[kLanes], b[kLanes];
};

template <int N> struct Register
{
    typedef float Lanes __attribute__((vector_size(4 * N)));
};

// N lanes per register, 16 / N registers.
template <int N>
__attribute__((always_inline)) inline void evaluateLanes(const Metaball* balls, const float* xs,
                                                         float py, LaneSamples& out)
{
    using Lanes = typename Register<N>::Lanes;
    const int registers = kLanes / N;
    Lanes px[registers], total[registers] = {}, r[registers] = {}, g[registers] = {},
                         b[registers] = {};
    for (int lane = 0; lane < kLanes; ++lane)
        px[lane / N][lane % N] = xs[lane];
    for (int i = 0; i < MetaballField::count; ++i)
    {
        const Metaball& ball = balls[i];
        const float dy = py - ball.y;
#pragma GCC unroll 4
        for (int k = 0; k < registers; ++k)
        {
            const Lanes dx = px[k] - ball.x;
            Lanes d2 = dx * dx + dy * dy;
            d2 = d2 == 0.0f ? 0.0000001f : d2;
            const Lanes contribution = 5625.0f / d2;
            total[k] = total[k] + contribution;
            const Lanes weight = contribution / total[k];
            const auto tints = weight > 0.15f;
            r[k] = tints ? (1.0f - weight) * r[k] + weight * ball.r : r[k];
            g[k] = tints ? (1.0f - weight) * g[k] + weight * ball.g : g[k];
            b[k] = tints ? (1.0f - weight) * b[k] + weight * ball.b : b[k];
        }
    }
    for (int lane = 0; lane < kLanes; ++lane)
    {
        out.value[lane] = total[lane / N][lane % N];
        out.r[lane] = r[lane / N][lane % N];
        out.g[lane] = g[lane / N][lane % N];
        out.b[lane] = b[lane / N][lane % N];
    }
}

template <int N>
__attribute__((always_inline)) inline void sampleRows(const MetaballField& field,
                                                      LatticeSamples& out)
{
    const Metaball* balls = &field.metaball(0);
    for (int row = 0; row < kSamplesPerSide; ++row)
    {
        const float y = static_cast<float>(kFirstSample + kSpacing * row);
        for (int first = 0; first < kSamplesPerSide; first += kLanes)
        {
            float x[kLanes];
            for (int lane = 0; lane < kLanes; ++lane)
                x[lane] = static_cast<float>(kFirstSample + kSpacing * (first + lane));
            LaneSamples lanes;
            evaluateLanes<N>(balls, x, y, lanes);
            const int used = first + kLanes <= kSamplesPerSide ? kLanes : kSamplesPerSide - first;
            for (int lane = 0; lane < used; ++lane)
            {
                const int index = row * kSamplesPerSide + first + lane;
                out.values[index] = lanes.value[lane];
                out.colours[index] = Colour{lanes.r[lane], lanes.g[lane], lanes.b[lane]};
            }
        }
    }
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
__attribute__((target("avx512f"))) void sampleInAvx512(const MetaballField& field,
                                                       LatticeSamples& out)
{
    sampleRows<16>(field, out);
}

__attribute__((target("avx2"))) void sampleInAvx2(const MetaballField& field, LatticeSamples& out)
{
    sampleRows<8>(field, out);
}
#endif

void sampleInSse(const MetaballField& field, LatticeSamples& out)
{
    sampleRows<4>(field, out);
}

} // namespace

void sampleRowsInVectorLanes(const MetaballField& field, LatticeSamples& out)
{
    using Sample = void (*)(const MetaballField&, LatticeSamples&);
    static const Sample widest = []() -> Sample
    {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f"))
            return sampleInAvx512;
        if (__builtin_cpu_supports("avx2"))
            return sampleInAvx2;
#endif
        return sampleInSse;
    }();
    widest(field, out);
}

const char* vectorLanesInstructionSet()
{
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f"))
        return "AVX-512";
    if (__builtin_cpu_supports("avx2"))
        return "AVX2";
    return "SSE2";
#else
    return "generic";
#endif
}
