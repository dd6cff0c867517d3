// Sixteen points side by side in one 64-byte vector. GCC splits the vector into whatever
// registers the chosen clone has (one AVX-512 register, two AVX ones, four SSE ones), and
// -ffp-contract=off keeps every multiply and add rounded on its own, as in the plain loop.
#include "bench/LatticeSampling.h"

#include "field/MetaballField.h"

using namespace marching;

namespace
{

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VORNELLE_WIDEST_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VORNELLE_WIDEST_CLONES
#endif

typedef float Lanes __attribute__((vector_size(64)));
const int kLanes = 16;

struct LaneSamples
{
    Lanes value, r, g, b;
};

VORNELLE_WIDEST_CLONES
void evaluateLanes(const Metaball* balls, const Lanes& px, float py, LaneSamples& out)
{
    Lanes total = {}, r = {}, g = {}, b = {};
    for (int i = 0; i < MetaballField::count; ++i)
    {
        const Metaball& ball = balls[i];
        const Lanes dx = px - ball.x;
        const float dy = py - ball.y;
        Lanes d2 = dx * dx + dy * dy;
        d2 = d2 == 0.0f ? 0.0000001f : d2;
        const Lanes contribution = 5625.0f / d2;
        total = total + contribution;
        const Lanes weight = contribution / total;
        const auto tints = weight > 0.15f;
        r = tints ? (1.0f - weight) * r + weight * ball.r : r;
        g = tints ? (1.0f - weight) * g + weight * ball.g : g;
        b = tints ? (1.0f - weight) * b + weight * ball.b : b;
    }
    out = LaneSamples{total, r, g, b};
}

} // namespace

void sampleRowsInVectorLanes(const MetaballField& field, LatticeSamples& out)
{
    const Metaball* balls = &field.metaball(0);
    for (int row = 0; row < kSamplesPerSide; ++row)
    {
        const float y = static_cast<float>(kFirstSample + kSpacing * row);
        for (int first = 0; first < kSamplesPerSide; first += kLanes)
        {
            Lanes x;
            for (int lane = 0; lane < kLanes; ++lane)
                x[lane] = static_cast<float>(kFirstSample + kSpacing * (first + lane));
            LaneSamples lanes;
            evaluateLanes(balls, x, y, lanes);
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
