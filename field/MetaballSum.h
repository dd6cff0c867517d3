// The metaballs' field at one point, or at a row of points: the sum of their contributions and
// the colour blended from those that dominate. A point is summed one metaball after another;
// a row in several ways, all giving the same bits, of which the field uses the fastest this CPU
// runs.
#pragma once

#include "field/MetaballField.h"

namespace metaball_sum
{

const float kFieldNumerator = 5625.0f; // 75^2
const float kSmallestSquaredDistance = 0.0000001f;
const float kColourWeightCutoff = 0.15f;

// MetaballField::count metaballs, one after another. Runs on any CPU.
FieldSample oneByOne(const Metaball* balls, const Vec2& point);

// A row of count points at height y: point i is (xs[i], y), its sample goes to out[i].
using RowSum = void (*)(const Metaball* balls, float y, const float* xs, int count,
                        FieldSample* out);

struct RowWay
{
    const char* name;
    RowSum sum;
};

const int kMostRowWays = 4;

// oneByOne at each point in turn. Runs on any CPU.
void rowOneByOne(const Metaball* balls, float y, const float* xs, int count, FieldSample* out);

// Every way of summing a row that this CPU runs: rowOneByOne first, then the points side by
// side in vector lanes, one way per instruction set (SSE2, AVX2, AVX-512 on x86 with GCC or
// Clang), the widest last. Returns how many it wrote to ways.
int rowWaysThatRunHere(RowWay (&ways)[kMostRowWays]);

// The last of rowWaysThatRunHere, chosen on the first call.
void fastestRow(const Metaball* balls, float y, const float* xs, int count, FieldSample* out);

} // namespace metaball_sum
