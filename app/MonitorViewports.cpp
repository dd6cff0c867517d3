#include "app/MonitorViewports.h"

#include "render/ContourRenderer.h"

platform::PixelRect glViewportOf(const platform::PixelRect& monitor, int windowHeight)
{
    return platform::PixelRect{monitor.x, windowHeight - (monitor.y + monitor.height),
                               monitor.width, monitor.height};
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
        glViewport(0, 0, width, height); // where one monitor covering the window draws
    takeMonitors(platform::monitorsOnWindow());
}

void MonitorViewports::takeMonitors(const std::vector<platform::PixelRect>& monitors)
{
    viewports.clear();
    if (isWholeWindow(monitors, width, height))
        return;
    for (const platform::PixelRect& monitor : monitors)
        viewports.push_back(glViewportOf(monitor, height));
}

void MonitorViewports::draw(ContourRenderer& renderer)
{
    if (viewports.empty())
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
    glEnable(GL_SCISSOR_TEST);
    for (const platform::PixelRect& viewport : viewports)
    {
        glViewport(viewport.x, viewport.y, viewport.width, viewport.height);
        glScissor(viewport.x, viewport.y, viewport.width, viewport.height);
        glCallList(frameList);
    }
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, width, height);
}
