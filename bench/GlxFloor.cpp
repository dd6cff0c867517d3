// The least a program drawing through GLX, as the real program does, can do before its first
// frame is on the screen, measured beside it by scripts/latency: it loads the GL, makes a
// context on the root window and draws, frame after frame until it is killed, what the program
// draws in kind (smooth, shaded, 2-pixel lines on a cleared screen), with nothing else to
// start: no toolkit, no window of its own, no input. Its first swap is counted as a GL
// program's by the swap counter (bench/SwapCounter.cpp).
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>

namespace
{

const int kLines = 200;
const useconds_t kFramePause = 10000; // microseconds, so that the frames do not spin

void drawFrame(int width, int height)
{
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    for (int i = 0; i < kLines; ++i)
    {
        const float t = static_cast<float>(i) / kLines;
        glColor3f(1.0f, t, 0.0f);
        glVertex2f(t - 0.5f, -0.5f);
        glColor3f(0.0f, 1.0f - t, 1.0f);
        glVertex2f(0.5f - t, 0.5f);
    }
    glEnd();
}

} // namespace

int main()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
    {
        std::fprintf(stderr, "glx-floor: no display\n");
        return 1;
    }
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, None};
    XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
    if (visual == nullptr)
    {
        std::fprintf(stderr, "glx-floor: no double-buffered RGBA visual\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    const GLXContext context = glXCreateContext(display, visual, nullptr, True);
    if (context == nullptr || !glXMakeCurrent(display, root, context))
    {
        std::fprintf(stderr, "glx-floor: no GL context on the root window\n");
        return 1;
    }
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    for (;;)
    {
        drawFrame(width, height);
        glXSwapBuffers(display, root);
        usleep(kFramePause);
    }
}
