// Where the picture goes on a full-screen window that spans several monitors: every monitor
// shows the whole world square, stretched to its own shape through a viewport of its own, and
// all of them show the same frame. The field is sampled once per frame whatever the count.
// A window that is one monitor gets exactly the single full-window picture reshape() set up.
// Opens no window; the platform resizes a window over the whole desktop when the desktop does.
#pragma once

#include <SDL_opengl.h>

#include <vector>

#include "platform/Platform.h"

class ContourRenderer;

// A monitor's rectangle on a window windowHeight pixels high (top-left origin, y downward),
// as a GL viewport: bottom-left origin, y upward.
platform::PixelRect glViewportOf(const platform::PixelRect& monitor, int windowHeight);

// True when the monitors are one monitor covering exactly the whole width x height window.
bool isWholeWindow(const std::vector<platform::PixelRect>& monitors, int width, int height);

class MonitorViewports
{
public:
    // For the full-screen window now open, width x height pixels; asks for its monitors.
    MonitorViewports(int width, int height);
    ~MonitorViewports();
    MonitorViewports(const MonitorViewports&) = delete;
    MonitorViewports& operator=(const MonitorViewports&) = delete;

    // Once per frame, before drawing: takes up monitors added, removed or moved since, and a
    // new size of the window when it follows the desktop's.
    void follow();

    // These monitors, relative to the window, in place of those the platform reports.
    void takeMonitors(const std::vector<platform::PixelRect>& monitors);

    // Draws the renderer's picture on every monitor, leaving the viewport on the whole
    // window; with one monitor covering the window, a plain renderer.draw().
    void draw(ContourRenderer& renderer);

private:
    int width;
    int height;
    std::vector<platform::PixelRect> viewports; // empty: the whole window, as reshape() left it
    GLuint frameList = 0;                       // the frame's segments, recorded once per frame
};
