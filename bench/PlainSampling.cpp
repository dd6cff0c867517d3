#include "bench/LatticeSampling.h"

#include "field/MetaballField.h"
#include "tests/support/ReferenceField.h"

void sampleOnePointAtATime(const MetaballField& field, LatticeSamples& out)
{
    marching::sampleLattice(
        [&field](float y, const float* xs, int count, FieldSample* samples)
        {
            for (int i = 0; i < count; ++i)
                samples[i] = referenceEvaluate(field, Vec2{xs[i], y});
        },
        out.values, out.colours);
}
