#include "bench/LatticeSampling.h"

void sampleLikeRenderer(const ScalarField& field, LatticeSamples& out)
{
    marching::sampleLattice(field, out.values, out.colours);
}
