// Every viewport the program draws through, in one unit: pixels of the buffers the GL draws
// into. The whole window's carries the world projection (reshape); on a full-screen window
// that spans several monitors, every monitor shows the whole world square, stretched to its
// own shape through a viewport of its own, and all of them show the same frame, the field
// sampled once whatever the count. A window that is one monitor gets exactly the single
// full-window picture reshape() set up. Opens no window; the platform resizes a window over the
// whole desktop when the desktop does.
#pragma once

#include <SDL_opengl.h>

#include <vector>

#include "platform/Platform.h"

class ContourRenderer;

// Maps the world square -500..500 (both axes, depth -1..1) onto a width x height pixel
// viewport, stretched to its shape: the whole window's, from now on.
void reshape(int width, int height);

// Before each frame of a full-screen run: when the buffers the GL draws into have taken a new
// size in pixels since the last look (on a scaled output, the output's own resolution, which
// may become known only once the window is shown there), reshape() follows them. Asks the
// window system nothing.
void followDrawableSize();

// A monitor's rectangle on a window (top-left origin, y downward, window pixels) as a GL
// viewport on buffers of the given size that cover the window: bottom-left origin, y upward,
// buffer pixels.
platform::PixelRect glViewportOf(const platform::PixelRect& monitor, platform::PixelSize window,
                                 platform::PixelSize buffers);

// True when the monitors are one monitor covering exactly the whole width x height window.
bool isWholeWindow(const std::vector<platform::PixelRect>& monitors, int width, int height);

class MonitorViewports
{
public:
    // For the full-screen window now open, width x height window pixels; asks for its monitors.
    MonitorViewports(int width, int height);
    ~MonitorViewports();
    MonitorViewports(const MonitorViewports&) = delete;
    MonitorViewports& operator=(const MonitorViewports&) = delete;

    // Once per frame, before drawing: takes up monitors added, removed or moved since, and a
    // new size of the window when it follows the desktop's.
    void follow();

    // These monitors, relative to the window, in window pixels, in place of those the platform
    // reports.
    void takeMonitors(const std::vector<platform::PixelRect>& monitors);

    // Draws the renderer's picture on every monitor, leaving the viewport on the whole
    // window; with one monitor covering the window, a plain renderer.draw().
    void draw(ContourRenderer& renderer);

private:
    int width;
    int height;
    std::vector<platform::PixelRect> monitors; // empty: the whole window, as reshape() left it
    GLuint frameList = 0;                      // the frame's segments, recorded once per frame
};
