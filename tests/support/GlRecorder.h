// A stand-in for the GL entry points the contour renderer calls. Linked into a test in place
// of libGL, it records the line segments drawn, their colours and the line state.
#pragma once

#include <vector>

namespace glrecorder
{

struct Vertex
{
    float x, y;
    float r, g, b; // the colour current when the vertex was given
};

struct Segment
{
    Vertex from, to;
};

void reset();

const std::vector<Segment>& segments();
float lineWidth();
bool lineSmoothEnabled();

// Calls that no well-formed segment list makes: a vertex outside glBegin/glEnd, a primitive
// other than GL_LINES, a glBegin/glEnd pair without exactly two vertices, a vertex without
// its own colour given just before it.
int malformedCalls();

} // namespace glrecorder
