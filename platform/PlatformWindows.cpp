// Windows, with classic SDL 1.2 (its Win32 video driver and WGL). The desktop's mode comes
// from the GDI, the seed from the system's tick count, swap control from WGL's extension. With
// one monitor the window is SDL's full-screen mode; with several, SDL's full-screen mode would
// cover the primary one only, so the window is a plain topmost one without a frame over the
// whole virtual screen, each monitor drawn in its own viewport. Screensaver daemons lending
// windows are X11's; Windows previews are not handled here.
#include "platform/Platform.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

// Unless set to 1, SDL's Win32 driver refuses Windows' requests to start the screen saver or
// to turn the displays off while a full-screen mode is set.
const char* const kAllowScreenSaverVariable = "SDL_VIDEO_ALLOW_SCREENSAVER";
// "X,Y": where SDL's Win32 driver puts the top-left corner of a window that is not full screen.
const char* const kWindowPositionVariable = "SDL_VIDEO_WINDOW_POS";

const char* const kSwapControlExtension = "WGL_EXT_swap_control";
const char* const kSwapIntervalFunction = "wglSwapIntervalEXT";
using SwapIntervalFunction = BOOL(WINAPI*)(int interval);

const int kNoSwapIntervalRequested = -1;
int requestedSwapInterval = kNoSwapIntervalRequested;

bool spanning = false; // the run's window is a plain one over several monitors

// The monitors as monitorsOnWindow() last saw them: their count and the rectangle around them.
struct MonitorLayout
{
    int count;
    platform::PixelRect bounds;
};
MonitorLayout layoutSeen{};

// SDL reads its settings from the C library's environment; the user's own word wins.
void setUnlessUserSet(const char* variable, const char* value)
{
    if (std::getenv(variable) == nullptr)
        _putenv_s(variable, value);
}

// The extension string is a list of names separated by spaces; a name must match whole, not
// as the beginning of a longer one ("WGL_EXT_swap_control_tear").
bool namesExtension(const char* extensions, const char* name)
{
    const std::size_t length = std::strlen(name);
    for (const char* found = std::strstr(extensions, name); found != nullptr;
         found = std::strstr(found + length, name))
    {
        const bool startsName = found == extensions || found[-1] == ' ';
        const bool endsName = found[length] == '\0' || found[length] == ' ';
        if (startsName && endsName)
            return true;
    }
    return false;
}

// A program started with no standard handle (a screensaver started by Windows itself) gets
// C library descriptors that lead nowhere; writing to them fails quietly, but a report
// meant for them is then lost, so they are put on the null device.
void openOnNullDevice(int descriptor)
{
    const int nullDevice = _open("NUL", _O_RDWR);
    if (nullDevice < 0)
        return;
    _dup2(nullDevice, descriptor);
    _close(nullDevice);
}

bool severalMonitors()
{
    return GetSystemMetrics(SM_CMONITORS) > 1;
}

bool sameRect(const platform::PixelRect& a, const platform::PixelRect& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

// The rectangle around every monitor, in desktop coordinates, where the primary monitor's
// top-left corner is 0,0: a monitor left of or above it makes the corner negative.
platform::PixelRect virtualScreen()
{
    return platform::PixelRect{
        GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// The system keeps these figures at hand: asking costs no more than a function call.
MonitorLayout currentLayout()
{
    return MonitorLayout{GetSystemMetrics(SM_CMONITORS), virtualScreen()};
}

BOOL CALLBACK collectMonitor(HMONITOR, HDC, LPRECT area, LPARAM monitors)
{
    reinterpret_cast<std::vector<platform::PixelRect>*>(monitors)->push_back(platform::PixelRect{
        area->left, area->top, area->right - area->left, area->bottom - area->top});
    return TRUE;
}

// Every monitor showing part of the desktop, in desktop coordinates, in the system's order.
std::vector<platform::PixelRect> desktopMonitors()
{
    std::vector<platform::PixelRect> monitors;
    EnumDisplayMonitors(nullptr, nullptr, collectMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

HWND sdlWindow()
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    return SDL_GetWMInfo(&info) > 0 ? info.window : nullptr;
}

// Where the top-left corner of SDL's drawing area lies on the desktop.
bool sdlWindowOrigin(POINT& origin)
{
    origin = POINT{0, 0};
    const HWND window = sdlWindow();
    return window != nullptr && ClientToScreen(window, &origin);
}

platform::PixelRect wholeVideoSurface()
{
    const SDL_Surface* surface = SDL_GetVideoSurface();
    return platform::PixelRect{0, 0, surface != nullptr ? surface->w : 0,
                               surface != nullptr ? surface->h : 0};
}

} // namespace

namespace platform
{

void ensureStandardStreamsOpen()
{
    for (int descriptor = 0; descriptor <= 2; ++descriptor)
    {
        // -2: the C library's mark for a stream a program without a console never had.
        const intptr_t handle = _get_osfhandle(descriptor);
        if (handle == -1 || handle == -2)
            openOnNullDevice(descriptor);
    }
}

// Windows' display is no connection that another program can take away under us.
void endProcessWhenDisplayLost() {}

// Classic SDL draws OpenGL modes straight to the screen: there is no scaling to turn off.
void preferDirectOpenGlOutput() {}

void letDisplaysSleep()
{
    setUnlessUserSet(kAllowScreenSaverVariable, "1");
}

// Classic SDL's Win32 driver draws no decorations on a full-screen window.
void leaveFullScreenWindowUndecorated() {}

// Classic SDL's Win32 driver opens the mode at the desktop's own size in pixels.
void drawAtOutputResolution() {}

PixelSize drawableSize()
{
    const PixelRect whole = wholeVideoSurface();
    return PixelSize{whole.width, whole.height};
}

std::uint32_t millisecondTicks()
{
    return GetTickCount();
}

// SDL's Win32 drivers (windib, directx) draw on the desktop; its dummy driver starts only
// when asked for by name, never as a fallback.
bool videoDriverReachesScreen()
{
    return true;
}

// In full screen, SDL reads the mouse's motion itself from the start: its first report is real
// motion. A plain window learns where the cursor is from the first message Windows sends it
// once it lies under the cursor, which SDL reports as a motion from the window's corner.
bool pointerFirstSeenAsMotion()
{
    return spanning;
}

void requestSwapInterval(int interval)
{
    requestedSwapInterval = interval;
}

void applySwapInterval()
{
    if (requestedSwapInterval == kNoSwapIntervalRequested)
        return;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (extensions == nullptr || !namesExtension(extensions, kSwapControlExtension))
        return;
    // WGL hands every entry point out as one generic type; void (*)() is the type C++ lets
    // stand between function types.
    const PROC entryPoint = wglGetProcAddress(kSwapIntervalFunction);
    const auto setSwapInterval =
        reinterpret_cast<SwapIntervalFunction>(reinterpret_cast<void (*)()>(entryPoint));
    if (setSwapInterval != nullptr)
        setSwapInterval(requestedSwapInterval);
}

DesktopMode desktopMode()
{
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return DesktopMode{0, 0, 0}; // SDL_SetVideoMode reads zeros as "the current mode"
    DesktopMode mode{GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES),
                     GetDeviceCaps(screen, BITSPIXEL)};
    ReleaseDC(nullptr, screen);
    if (spanning)
    {
        const PixelRect desktop = virtualScreen();
        mode.width = desktop.width;
        mode.height = desktop.height;
    }
    return mode;
}

// Classic SDL's full-screen mode covers the primary monitor, the one the GDI reports, and
// changes the display mode to do so: with several monitors the window is placed over the
// whole virtual screen instead.
void spanEveryMonitor()
{
    spanning = severalMonitors();
    if (!spanning)
        return;
    const PixelRect desktop = virtualScreen();
    char position[32];
    std::snprintf(position, sizeof position, "%d,%d", desktop.x, desktop.y);
    setUnlessUserSet(kWindowPositionVariable, position);
}

bool spanWithPlainWindow()
{
    return spanning;
}

void raiseSpanningWindow()
{
    const HWND window = sdlWindow();
    if (!spanning || window == nullptr)
        return;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
}

void preferNativeVideoDriver() {}

bool superviseRunPerOutput(int&)
{
    return false; // one window covers every monitor
}

std::vector<PixelRect> monitorsOnWindow()
{
    POINT origin{};
    if (!spanning || !sdlWindowOrigin(origin))
        return {wholeVideoSurface()};
    layoutSeen = currentLayout();
    std::vector<PixelRect> onWindow;
    for (const PixelRect& monitor : desktopMonitors())
        onWindow.push_back(
            PixelRect{monitor.x - origin.x, monitor.y - origin.y, monitor.width, monitor.height});
    if (onWindow.empty())
        onWindow.push_back(wholeVideoSurface());
    return onWindow;
}

// A monitor added, removed or resized changes the count or the rectangle around them all. The
// window keeps the size it was made with; the monitors within it are followed.
bool monitorsMayHaveChanged()
{
    if (!spanning)
        return false;
    const MonitorLayout now = currentLayout();
    return now.count != layoutSeen.count || !sameRect(now.bounds, layoutSeen.bounds);
}

// The window keeps the size it was made with; only the monitors within it are followed.
bool windowFollowsDesktop(int&, int&)
{
    return false;
}

// Not held: keys come through SDL's events to the full-screen window in front, as Windows
// gives them to a screensaver it started on top of everything else.
bool holdKeyboard()
{
    return false;
}

void leavePointerFree() {}

// SDL leaves full screen here without waiting on anyone.
void hideWindowBeforeShutdown() {}

bool hostWindowsSupported()
{
    return false;
}

void drawIntoHostWindow(HostWindowId) {}

HostWindowLookup hostWindowMode(HostWindowId, DesktopMode&)
{
    return HostWindowLookup::Missing;
}

bool hostWindowGone()
{
    return false;
}

bool hostWindowResized(DesktopMode&)
{
    return false;
}

} // namespace platform
