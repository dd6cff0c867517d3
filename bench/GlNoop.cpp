// A GL that draws nothing: the six entry points the contour renderer calls, as empty
// functions. Linked in place of libGL, the renderer's own work can be timed and its heap use
// counted without a display or a driver.
#include <GL/gl.h>

extern "C"
{

    void glLineWidth(GLfloat) {}
    void glEnable(GLenum) {}
    void glBegin(GLenum) {}
    void glColor3f(GLfloat, GLfloat, GLfloat) {}
    void glVertex2f(GLfloat, GLfloat) {}
    void glEnd() {}

} // extern "C"
