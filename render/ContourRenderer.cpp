#include "render/ContourRenderer.h"

#include <GL/gl.h>

#include "field/ScalarField.h"
#include "render/MarchingSquares.h"

using namespace marching;

namespace
{

const float kLineWidth = 2.0f;

void drawSegment(const ContourPoint& from, const ContourPoint& to)
{
    glBegin(GL_LINES);
    glColor3f(from.colour.r, from.colour.g, from.colour.b);
    glVertex2f(from.x, from.y);
    glColor3f(to.colour.r, to.colour.g, to.colour.b);
    glVertex2f(to.x, to.y);
    glEnd();
}

void traceCell(int row, int column, const float* values, const Colour* colours, float threshold)
{
    const int i = row * kSamplesPerSide + column;
    const int indices[4] = {i, i + 1, i + kSamplesPerSide, i + kSamplesPerSide + 1};
    bool inside[4];
    for (int k = 0; k < 4; ++k)
        inside[k] = isInside(values[indices[k]], threshold);
    // Most cells lie wholly inside or wholly outside the contour: nothing to draw there.
    if (inside[A] == inside[B] && inside[B] == inside[C] && inside[C] == inside[D])
        return;

    const float y0 = static_cast<float>(kFirstCorner + kSpacing * row);
    const float x0 = static_cast<float>(kFirstCorner + kSpacing * column);
    const float y1 = y0 + static_cast<float>(kSpacing);
    const float x1 = x0 + static_cast<float>(kSpacing);
    const float xs[4] = {x0, x1, x0, x1};
    const float ys[4] = {y0, y0, y1, y1};
    GridCorner corners[4];
    for (int k = 0; k < 4; ++k)
        corners[k] = GridCorner{xs[k], ys[k], indices[k], inside[k]};

    const CellCase& cell = cellCase(caseIndex(inside[A], inside[B], inside[C], inside[D]));
    for (int s = 0; s < cell.segmentCount; ++s)
    {
        const Segment& segment = cell.segments[s];
        drawSegment(crossing(corners[segment.first.p], corners[segment.first.q], values, colours,
                             threshold),
                    crossing(corners[segment.second.p], corners[segment.second.q], values, colours,
                             threshold));
    }
}

} // namespace

ContourRenderer::ContourRenderer(ScalarField* function, float threshold)
    : function(function), threshold(threshold)
{
}

void ContourRenderer::draw()
{
    glLineWidth(kLineWidth);
    glEnable(GL_LINE_SMOOTH);

    // Working storage of this call only: about 74 KB, never on the heap.
    float values[kSampleCount];
    Colour colours[kSampleCount];
    sampleLattice(*function, values, colours);

    for (int row = 0; row < kCellsPerSide; ++row)
        for (int column = 0; column < kCellsPerSide; ++column)
            traceCell(row, column, values, colours, threshold);
}
