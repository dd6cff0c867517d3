// The arithmetic of marching squares, apart from any drawing: the lattice and its sampling
// order, the corner classification, the case table and the crossing point on an edge.
// World units throughout; colours 0..1.
#pragma once

#include "field/ScalarField.h"

namespace marching
{

const int kSamplesPerSide = 68;
const int kSampleCount = kSamplesPerSide * kSamplesPerSide;
const int kCellsPerSide = kSamplesPerSide - 1;
const int kSpacing = 15;
const int kFirstSample = -500;
// The cell corners sit one unit below and left of the samples they carry.
const int kFirstCorner = -501;

struct Colour
{
    float r, g, b;
};

// Asks evaluateRow(y, xs, count, samples) for one lattice row at a time, the bottom row
// (y = -500) first, each row's points left to right, and stores each sample's value and colour
// at row * 68 + column.
template <class EvaluateRow>
void sampleLattice(EvaluateRow evaluateRow, float* values, Colour* colours)
{
    float xs[kSamplesPerSide];
    for (int column = 0; column < kSamplesPerSide; ++column)
        xs[column] = static_cast<float>(kFirstSample + kSpacing * column);
    FieldSample samples[kSamplesPerSide];
    for (int row = 0; row < kSamplesPerSide; ++row)
    {
        const float y = static_cast<float>(kFirstSample + kSpacing * row);
        evaluateRow(y, xs, kSamplesPerSide, samples);
        for (int column = 0; column < kSamplesPerSide; ++column)
        {
            const FieldSample& sample = samples[column];
            values[row * kSamplesPerSide + column] = sample.value;
            colours[row * kSamplesPerSide + column] = Colour{sample.r, sample.g, sample.b};
        }
    }
}

// The renderer's sampling: the lattice through field.evaluateRow.
void sampleLattice(const ScalarField& field, float* values, Colour* colours);

// One corner of the cell being traced.
struct GridCorner
{
    float x, y; // where the corner is drawn
    int index;  // the sample whose value and colour belong to it
    bool inside;
};

// A crossing of the contour with a cell edge, ready to draw.
struct ContourPoint
{
    float x, y;
    Colour colour;
};

enum Corner
{
    A, // lower left
    B, // lower right
    C, // upper left
    D  // upper right
};

// An edge written P->Q: the crossing is measured from P.
struct Edge
{
    Corner p, q;
};

struct Segment
{
    Edge first, second;
};

struct CellCase
{
    int segmentCount;
    Segment segments[2];
};

// A value equal to the threshold counts as outside.
inline bool isInside(float value, float threshold)
{
    return value > threshold;
}

// Flags A B C D read as a binary number, A the highest bit.
inline int caseIndex(bool a, bool b, bool c, bool d)
{
    return (a ? 8 : 0) | (b ? 4 : 0) | (c ? 2 : 0) | (d ? 1 : 0);
}

const CellCase& cellCase(int index);

// Where along P->Q the field crosses the threshold, 0 at P and 1 at Q.
inline float crossingFraction(float valueP, float valueQ, float threshold)
{
    return (valueP - threshold) / (valueP - valueQ);
}

inline float blend(float p, float q, float t)
{
    return (1.0f - t) * p + t * q;
}

ContourPoint crossing(const GridCorner& p, const GridCorner& q, const float* values,
                      const Colour* colours, float threshold);

} // namespace marching
