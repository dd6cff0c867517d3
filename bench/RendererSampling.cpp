#include "bench/LatticeSampling.h"

void sampleLikeRenderer(const ScalarField& field, LatticeSamples& out)
{
    sampleLattice([&field](const Vec2& point) { return field.evaluate(point); }, out);
}
