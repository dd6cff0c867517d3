#include "bench/LatticeSampling.h"

#include "field/MetaballField.h"
#include "tests/support/ReferenceField.h"

void sampleOnePointAtATime(const MetaballField& field, LatticeSamples& out)
{
    sampleLattice([&field](const Vec2& point) { return referenceEvaluate(field, point); }, out);
}
