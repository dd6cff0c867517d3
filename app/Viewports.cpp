#include "app/Viewports.h"

#include "render/ContourRenderer.h"

namespace
{

const double kWorldHalfSize = 500.0;

// The whole window's viewport as reshape() last set it, in buffer pixels.
platform::PixelSize wholeViewport{0, 0};

// The size of the GL's buffers at the last look; none before the first.
platform::PixelSize drawableSeen{0, 0};

void setViewport(const platform::PixelRect& viewport)
{
    glViewport(viewport.x, viewport.y, viewport.width, viewport.height);
}

int scaled(int length, int to, int from)
{
    return from > 0 ? static_cast<int>(static_cast<long long>(length) * to / from) : length;
}

} // namespace

void reshape(int width, int height)
{
    wholeViewport = platform::PixelSize{width, height};
    setViewport(platform::PixelRect{0, 0, width, height});
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-kWorldHalfSize, kWorldHalfSize, -kWorldHalfSize, kWorldHalfSize, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void followDrawableSize()
{
    const platform::PixelSize drawable = platform::drawableSize();
    if (drawable.width == drawableSeen.width && drawable.height == drawableSeen.height)
        return;
    drawableSeen = drawable;
    reshape(drawable.width, drawable.height);
}

platform::PixelRect glViewportOf(const platform::PixelRect& monitor, platform::PixelSize window,
                                 platform::PixelSize buffers)
{
    const int fromBottom = window.height - (monitor.y + monitor.height);
    return platform::PixelRect{scaled(monitor.x, buffers.width, window.width),
                               scaled(fromBottom, buffers.height, window.height),
                               scaled(monitor.width, buffers.width, window.width),
                               scaled(monitor.height, buffers.height, window.height)};
}

bool isWholeWindow(const std::vector<platform::PixelRect>& monitors, int width, int height)
{
    if (monitors.size() != 1)
        return false;
    const platform::PixelRect& only = monitors.front();
    return only.x == 0 && only.y == 0 && only.width == width && only.height == height;
}

MonitorViewports::MonitorViewports(int width, int height) : width(width), height(height)
{
    takeMonitors(platform::monitorsOnWindow());
}

MonitorViewports::~MonitorViewports()
{
    if (frameList != 0)
        glDeleteLists(frameList, 1);
}

void MonitorViewports::follow()
{
    if (!platform::monitorsMayHaveChanged())
        return;
    if (platform::windowFollowsDesktop(width, height))
        reshape(width, height); // the GL's buffers follow the window there
    takeMonitors(platform::monitorsOnWindow());
}

void MonitorViewports::takeMonitors(const std::vector<platform::PixelRect>& onWindow)
{
    monitors.clear();
    if (!isWholeWindow(onWindow, width, height))
        monitors = onWindow;
}

void MonitorViewports::draw(ContourRenderer& renderer)
{
    if (monitors.empty())
    {
        renderer.draw();
        return;
    }
    // Replaying the recorded segments costs less than sampling and tracing again per monitor
    // (bench/MonitorDraw.cpp), and every monitor is sure to show the same frame.
    if (frameList == 0)
        frameList = glGenLists(1);
    glNewList(frameList, GL_COMPILE);
    renderer.draw();
    glEndList();
    // A viewport does not stop wide lines at its edge: they would spill a pixel onto the
    // monitor next door, or where no monitor shows anything.
    const platform::PixelSize whole = wholeViewport;
    glEnable(GL_SCISSOR_TEST);
    for (const platform::PixelRect& monitor : monitors)
    {
        const platform::PixelRect viewport =
            glViewportOf(monitor, platform::PixelSize{width, height}, whole);
        setViewport(viewport);
        glScissor(viewport.x, viewport.y, viewport.width, viewport.height);
        glCallList(frameList);
    }
    glDisable(GL_SCISSOR_TEST);
    setViewport(platform::PixelRect{0, 0, whole.width, whole.height});
}
