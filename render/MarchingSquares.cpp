#include "render/MarchingSquares.h"

namespace marching
{

namespace
{

const Segment kNone = {{A, A}, {A, A}};

// Indexed by caseIndex(). The saddles (B C inside, A D inside) always join the two inside
// corners through the cell and cut each outside corner off on its own.
const CellCase kCases[16] = {
    {0, {kNone, kNone}},                       // 0000
    {1, {{{D, C}, {B, D}}, kNone}},            // 0001
    {1, {{{D, C}, {A, C}}, kNone}},            // 0010
    {1, {{{A, C}, {B, D}}, kNone}},            // 0011
    {1, {{{B, D}, {B, A}}, kNone}},            // 0100
    {1, {{{D, C}, {B, A}}, kNone}},            // 0101
    {2, {{{A, C}, {B, A}}, {{D, C}, {B, D}}}}, // 0110: cuts off A, then D
    {1, {{{A, C}, {A, B}}, kNone}},            // 0111
    {1, {{{A, C}, {A, B}}, kNone}},            // 1000
    {2, {{{A, C}, {D, C}}, {{B, A}, {D, B}}}}, // 1001: cuts off C, then B
    {1, {{{D, C}, {B, A}}, kNone}},            // 1010
    {1, {{{B, D}, {B, A}}, kNone}},            // 1011
    {1, {{{A, C}, {B, D}}, kNone}},            // 1100
    {1, {{{D, C}, {A, C}}, kNone}},            // 1101
    {1, {{{D, C}, {B, D}}, kNone}},            // 1110
    {0, {kNone, kNone}},                       // 1111
};

} // namespace

void sampleLattice(const ScalarField& field, float* values, Colour* colours)
{
    sampleLattice([&field](float y, const float* xs, int count, FieldSample* samples)
                  { field.evaluateRow(y, xs, count, samples); },
                  values, colours);
}

const CellCase& cellCase(int index)
{
    return kCases[index];
}

ContourPoint crossing(const GridCorner& p, const GridCorner& q, const float* values,
                      const Colour* colours, float threshold)
{
    const float t = crossingFraction(values[p.index], values[q.index], threshold);
    const Colour& from = colours[p.index];
    const Colour& to = colours[q.index];
    return ContourPoint{blend(p.x, q.x, t),
                        blend(p.y, q.y, t),
                        {blend(from.r, to.r, t), blend(from.g, to.g, t), blend(from.b, to.b, t)}};
}

} // namespace marching
