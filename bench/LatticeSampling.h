// The renderer's sampling pass on its own, and the yardstick it is measured against.
#pragma once

#include "field/ScalarField.h"
#include "render/MarchingSquares.h"

class MetaballField;

struct LatticeSamples
{
    float values[marching::kSampleCount];
    marching::Colour colours[marching::kSampleCount];
};

// The renderer's own sampling pass: 68 rows through ScalarField::evaluateRow, bottom row
// first. Compiled apart from any field, so the calls stay virtual as in the renderer.
void sampleLikeRenderer(const ScalarField& field, LatticeSamples& out);

// The plain per-point loop, each point on its own with the arithmetic written out.
void sampleOnePointAtATime(const MetaballField& field, LatticeSamples& out);

// The same single-precision operations in the same order per point, but a lattice row at a
// time in the widest vector registers the CPU has, one point per lane. Not what ships: the
// bound for this arithmetic.
void sampleRowsInVectorLanes(const MetaballField& field, LatticeSamples& out);

// The name of the instruction set the yardstick runs on here.
const char* vectorLanesInstructionSet();
