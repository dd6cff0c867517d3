#include "tests/support/GlRecorder.h"

#include <GL/gl.h>

namespace
{

struct Recording
{
    std::vector<glrecorder::Segment> segments;
    std::vector<glrecorder::Vertex> open; // vertices of the pair now open
    bool inBegin = false;
    bool colourGiven = false;
    float r = 1.0f, g = 1.0f, b = 1.0f;
    float lineWidth = 1.0f;
    bool lineSmooth = false;
    int malformed = 0;
};

Recording recording;

} // namespace

namespace glrecorder
{

void reset()
{
    recording = Recording();
}
const std::vector<Segment>& segments()
{
    return recording.segments;
}
float lineWidth()
{
    return recording.lineWidth;
}
bool lineSmoothEnabled()
{
    return recording.lineSmooth;
}
int malformedCalls()
{
    return recording.malformed;
}

} // namespace glrecorder

extern "C"
{

    void glLineWidth(GLfloat width)
    {
        recording.lineWidth = width;
    }

    void glEnable(GLenum capability)
    {
        if (capability == GL_LINE_SMOOTH)
            recording.lineSmooth = true;
    }

    void glBegin(GLenum mode)
    {
        if (recording.inBegin || mode != GL_LINES)
            ++recording.malformed;
        recording.inBegin = true;
        recording.colourGiven = false;
        recording.open.clear();
    }

    void glColor3f(GLfloat r, GLfloat g, GLfloat b)
    {
        recording.r = r;
        recording.g = g;
        recording.b = b;
        recording.colourGiven = true;
    }

    void glVertex2f(GLfloat x, GLfloat y)
    {
        if (!recording.inBegin || !recording.colourGiven)
            ++recording.malformed;
        recording.open.push_back(glrecorder::Vertex{x, y, recording.r, recording.g, recording.b});
        recording.colourGiven = false;
    }

    void glEnd()
    {
        if (!recording.inBegin || recording.open.size() != 2)
            ++recording.malformed;
        else
            recording.segments.push_back(glrecorder::Segment{recording.open[0], recording.open[1]});
        recording.inBegin = false;
    }

} // extern "C"
