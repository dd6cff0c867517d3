// The metaballs' field at one point: the sum of their contributions and the colour blended
// from those that dominate. Several ways to compute it, all giving the same bits; the field
// uses the fastest this CPU runs.
#pragma once

#include "field/MetaballField.h"

namespace metaball_sum
{

const float kFieldNumerator = 5625.0f; // 75^2
const float kSmallestSquaredDistance = 0.0000001f;
const float kColourWeightCutoff = 0.15f;

// MetaballField::count metaballs, one after another. Runs on any CPU.
FieldSample oneByOne(const Metaball* balls, const Vec2& point);

// The same operations in the same order, with the independent ones done eight metaballs at
// a time in AVX2 registers. Call it only where eightAtATimeRuns().
FieldSample eightAtATime(const Metaball* balls, const Vec2& point);
bool eightAtATimeRuns();

// The fastest of the above on this CPU, chosen on the first call.
FieldSample fastest(const Metaball* balls, const Vec2& point);

} // namespace metaball_sum
