// Windows, with classic SDL 1.2 (its Win32 video driver and WGL). The desktop's mode comes
// from the GDI, the seed from the system's tick count, swap control from WGL's extension; the
// full-screen window is on one monitor, the primary. Screensaver daemons lending windows are
// X11's; Windows previews are not handled here.
#include "platform/Platform.h"

#include <SDL.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

namespace
{

// Unless set to 1, SDL's Win32 driver refuses Windows' requests to start the screen saver or
// to turn the displays off while a full-screen mode is set.
const char* const kAllowScreenSaverVariable = "SDL_VIDEO_ALLOW_SCREENSAVER";

const char* const kSwapControlExtension = "WGL_EXT_swap_control";
const char* const kSwapIntervalFunction = "wglSwapIntervalEXT";
using SwapIntervalFunction = BOOL(WINAPI*)(int interval);

const int kNoSwapIntervalRequested = -1;
int requestedSwapInterval = kNoSwapIntervalRequested;

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

// Classic SDL draws OpenGL modes straight to the screen: there is no scaling to turn off.
void preferDirectOpenGlOutput() {}

void letDisplaysSleep()
{
    setUnlessUserSet(kAllowScreenSaverVariable, "1");
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

// Windows tells SDL where the cursor is from the start: its first report is real motion.
bool pointerFirstSeenAsMotion()
{
    return false;
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
    const DesktopMode mode{GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES),
                           GetDeviceCaps(screen, BITSPIXEL)};
    ReleaseDC(nullptr, screen);
    return mode;
}

// Classic SDL's full-screen mode covers the primary monitor, the one the GDI reports; the
// whole picture is drawn there.
void spanEveryMonitor() {}

std::vector<PixelRect> monitorsOnWindow()
{
    const SDL_Surface* screen = SDL_GetVideoSurface();
    if (screen == nullptr)
        return {PixelRect{0, 0, 0, 0}};
    return {PixelRect{0, 0, screen->w, screen->h}};
}

bool monitorsMayHaveChanged()
{
    return false;
}

// Not held: keys come through SDL's events to the full-screen window in front, as Windows
// gives them to a screensaver it started on top of everything else.
bool holdKeyboard()
{
    return false;
}

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
