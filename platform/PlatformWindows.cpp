// Windows, with classic SDL 1.2 (its Win32 video driver and WGL).
// Does:
// - standard streams on the null device where the program was started without them;
// - the seed from the system's tick count; the desktop's mode from the GDI;
// - swap control through WGL's extension, on the context the mode made;
// - with one monitor, SDL's full-screen mode; with several, where SDL's would cover the primary
//   one only, a plain topmost window without a frame over the whole virtual screen, each
//   monitor drawn in its own viewport and followed when monitors change, the window moved and
//   resized over the virtual screen when it grows or shrinks;
// - the displays left to sleep.
// Does not: host windows (screensaver daemons lending windows are X11's; Windows previews are
// another protocol, not handled); runs per output (one window covers every monitor); an end
// when the display goes (no connection another program can take away); an invisible driver's
// check (SDL's dummy driver starts only when named); the keyboard's hold (Windows gives the keys
// to a screensaver on top); following the desktop from SDL's full-screen mode on one monitor;
// scaling, decorations or the pointer's hold (classic SDL needs no setting for them); a
// shutdown of SDL's video left to the system (SDL leaves full screen there without waiting on
// anyone).
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

#include "platform/Common.h"

namespace
{

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
    return platform::common::sdlWindowInfo(info) ? info.window : nullptr;
}

// Where SDL's drawing area lies on the desktop, at the window's own size: the video surface
// keeps the size SDL set, but the window follows the virtual screen as it grows.
bool sdlWindowOnDesktop(platform::PixelRect& area)
{
    POINT origin{0, 0};
    RECT client{};
    const HWND window = sdlWindow();
    if (window == nullptr || !ClientToScreen(window, &origin) || !GetClientRect(window, &client))
        return false;
    area = platform::PixelRect{origin.x, origin.y, client.right, client.bottom};
    return true;
}

// Classic SDL's full-screen mode covers the primary monitor, the one the GDI reports, and
// changes the display mode to do so: with several monitors the window is placed over the
// whole virtual screen instead.
void spanEveryMonitor()
{
    spanning = severalMonitors();
    if (!spanning)
        return;
    const platform::PixelRect desktop = virtualScreen();
    char position[32];
    std::snprintf(position, sizeof position, "%d,%d", desktop.x, desktop.y);
    platform::common::setUnlessUserSet(kWindowPositionVariable, position);
}

void raiseSpanningWindow()
{
    const HWND window = sdlWindow();
    if (!spanning || window == nullptr)
        return;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
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

std::uint32_t millisecondTicks()
{
    return GetTickCount();
}

bool hostWindowsSupported()
{
    return false;
}

// One window covers every monitor.
ProcessRole startRunPerOutput()
{
    return ProcessRole::Draws;
}

int watchRunsUntilAllEnd()
{
    return 0; // never asked: no runs are started
}

void beforeVideoStarts(HostWindowId hostWindow)
{
    if (hostWindow == kFullScreen)
        spanEveryMonitor();
    common::letDisplaysSleep();
}

// SDL's Win32 drivers (windib, directx) draw on the desktop; its dummy driver starts only
// when asked for by name, never as a fallback.
bool videoDriverReachesScreen()
{
    return true;
}

void requestSwapInterval(int interval)
{
    requestedSwapInterval = interval;
}

FullScreenMode fullScreenMode()
{
    // SDL_SetVideoMode reads zeros as "the current mode".
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return {DesktopMode{0, 0, 0}, spanning};
    DesktopMode mode{GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES),
                     GetDeviceCaps(screen, BITSPIXEL)};
    ReleaseDC(nullptr, screen);
    if (spanning)
    {
        const PixelRect desktop = virtualScreen();
        mode.width = desktop.width;
        mode.height = desktop.height;
    }
    return {mode, spanning};
}

HostWindowLookup hostWindowMode(HostWindowId, DesktopMode&)
{
    return HostWindowLookup::Missing;
}

void afterVideoModeSet()
{
    applySwapInterval();
    raiseSpanningWindow();
}

PixelSize drawableSize()
{
    const PixelRect whole = common::wholeVideoSurface();
    return PixelSize{whole.width, whole.height};
}

// In full screen, SDL reads the mouse's motion itself from the start: its first report is real
// motion. A plain window learns where the cursor is from the first message Windows sends it
// once it lies under the cursor, which SDL reports as a motion from the window's corner.
bool pointerFirstSeenAsMotion()
{
    return spanning;
}

std::vector<PixelRect> monitorsOnWindow()
{
    PixelRect window{};
    if (!spanning || !sdlWindowOnDesktop(window))
        return {common::wholeVideoSurface()};
    layoutSeen = currentLayout();
    return common::monitorsOnWindow(desktopMonitors(), window);
}

// A monitor added, removed or resized changes the count or the rectangle around them all, as
// the system's display-change notice reports it.
bool monitorsMayHaveChanged()
{
    if (!spanning)
        return false;
    const MonitorLayout now = currentLayout();
    return now.count != layoutSeen.count || !common::sameRect(now.bounds, layoutSeen.bounds);
}

// The spanning window is moved and resized over the virtual screen as it is now. SDL keeps its
// video surface at the size it set, but WGL's drawing surface is the window's own and follows
// it. SDL's Win32 driver reports the surface's size as the window's least and greatest, but
// the system holds a popup window without a sizing frame, as ours is, to neither.
bool windowFollowsDesktop(int& width, int& height)
{
    const HWND window = sdlWindow();
    RECT now{};
    if (!spanning || window == nullptr || !GetWindowRect(window, &now))
        return false;
    const PixelRect desktop = virtualScreen();
    const PixelRect covered{now.left, now.top, now.right - now.left, now.bottom - now.top};
    if (common::sameRect(covered, desktop) ||
        !SetWindowPos(window, HWND_TOPMOST, desktop.x, desktop.y, desktop.width, desktop.height,
                      SWP_NOACTIVATE))
        return false;
    width = desktop.width;
    height = desktop.height;
    return true;
}

// Not held: keys come through SDL's events to the full-screen window in front, as Windows
// gives them to a screensaver it started on top of everything else.
bool holdKeyboard()
{
    return false;
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
