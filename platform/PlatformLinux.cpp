// Linux and other X11 desktops, with the SDL 1.2 API on either of its implementations.
#include "platform/Platform.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace
{

// Drivers SDL falls back to when no display can be opened: they run, but nobody sees them.
const char* const kInvisibleDrivers[] = {"offscreen", "dummy", "caca", "aalib"};

// The SDL 1.2 API on SDL2 renders OpenGL modes off screen and scales them unless told not to.
const char* const kOpenGlScalingVariable = "SDL12COMPAT_OPENGL_SCALING";

// Unless set to 1, SDL suspends the X server's screen saver (and with it DPMS) and asks the
// desktop's session bus to inhibit idleness for as long as it runs.
const char* const kAllowScreenSaverVariable = "SDL_VIDEO_ALLOW_SCREENSAVER";

// The host window, watched through a connection of our own: SDL's events are SDL's to read.
Display* watcher = nullptr;
Window hostWindow = None;
bool hostWindowInUse = false; // its size is known and SDL is told to draw into it
bool hostWindowDestroyed = false;
platform::DesktopMode hostMode{};   // as the window system last reported it
bool hostWindowSizeChanged = false; // since the frame loop last asked
XErrorHandler reportXError = nullptr;

bool saysHostWindowIsGone(const XErrorEvent& error)
{
    return error.resourceid == hostWindow &&
           (error.error_code == BadWindow || error.error_code == BadDrawable);
}

// Xlib's error handler is one for the whole process, SDL's and GL's connections included. The
// daemon may take its window away at any moment, often before we have heard of it, and the
// GL then fails in the middle of a frame; it cannot be trusted to go on from there (it reads
// window sizes that the failed request never filled in). So, like Xlib's own handler, this
// one ends the process, but with status 0: the daemon ending the run is a normal end. SDL's
// shutdown is skipped, since it would talk to the server from inside this handler. Any other
// complaint goes on to the handler that was there before.
int quietAboutHostWindow(Display* display, XErrorEvent* error)
{
    if (!hostWindowDestroyed && !saysHostWindowIsGone(*error))
        return reportXError != nullptr ? reportXError(display, error) : 0;
    hostWindowDestroyed = true;
    if (hostWindowInUse)
        std::_Exit(0);
    return 0; // asking for the size of a window that is not there: the caller sees it failed
}

// A daemon moves its window as well as resizing it; only a new size matters here.
void noteHostWindowSize(int width, int height)
{
    if (width == hostMode.width && height == hostMode.height)
        return;
    hostMode.width = width;
    hostMode.height = height;
    hostWindowSizeChanged = true;
}

// Reads what the window system said about the host window since the last look.
void collectHostWindowEvents()
{
    if (watcher == nullptr || hostWindowDestroyed)
        return;
    while (XPending(watcher) > 0)
    {
        XEvent event;
        XNextEvent(watcher, &event);
        if (event.type == DestroyNotify && event.xdestroywindow.window == hostWindow)
            hostWindowDestroyed = true;
        else if (event.type == ConfigureNotify && event.xconfigure.window == hostWindow)
            noteHostWindowSize(event.xconfigure.width, event.xconfigure.height);
    }
}

// SDL reads its settings from the environment; the user's own word wins.
void setUnlessUserSet(const char* variable, const char* value)
{
    const int keepUserValue = 0;
    setenv(variable, value, keepUserValue);
}

bool userChoseDriver()
{
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    return chosen != nullptr && chosen[0] != '\0';
}

} // namespace

namespace platform
{

void ensureStandardStreamsOpen()
{
    for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream)
        if (fcntl(stream, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", O_RDWR); // the lowest free number, which is this stream's
}

std::uint32_t millisecondTicks()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                       static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(milliseconds);
}

void preferDirectOpenGlOutput()
{
    setUnlessUserSet(kOpenGlScalingVariable, "0");
}

void letDisplaysSleep()
{
    setUnlessUserSet(kAllowScreenSaverVariable, "1");
}

bool videoDriverReachesScreen()
{
    if (userChoseDriver())
        return true;
    char name[64] = "";
    if (SDL_VideoDriverName(name, sizeof name) == nullptr)
        return false;
    for (const char* invisible : kInvisibleDrivers)
        if (std::strcmp(name, invisible) == 0)
            return false;
    return true;
}

// GLX's extension string never names swap control the way WGL's does, and calling a GLX
// swap entry point the server does not offer can end the process with an X error. SDL asks
// through the right extension where there is one and ignores the request where there is not.
void requestSwapInterval(int interval)
{
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, interval);
}

DesktopMode desktopMode()
{
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info == nullptr)
        return DesktopMode{0, 0, 0}; // SDL_SetVideoMode reads zeros as "the current mode"
    return DesktopMode{info->current_w, info->current_h, info->vfmt->BitsPerPixel};
}

void drawIntoHostWindow(HostWindowId window)
{
    const bool replace = true;
    setenv("SDL_WINDOWID", std::to_string(window).c_str(), replace);
    // Without this the SDL 1.2 API on SDL2 cannot make an OpenGL context for a foreign window.
    setenv("SDL_VIDEO_FOREIGN_WINDOW_OPENGL", "1", replace);
}

HostWindowLookup hostWindowMode(HostWindowId window, DesktopMode& mode)
{
    if (watcher == nullptr)
        watcher = XOpenDisplay(nullptr);
    if (watcher == nullptr)
        return HostWindowLookup::Missing;
    hostWindow = window;
    reportXError = XSetErrorHandler(quietAboutHostWindow);

    // Asking for destruction first means no DestroyNotify can slip between the two requests.
    XSelectInput(watcher, hostWindow, StructureNotifyMask);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(watcher, hostWindow, &attributes) == 0 || hostWindowDestroyed)
        return HostWindowLookup::Missing;
    // SDL would fail to set a video mode on an input-only window, and then, tidying up, fail
    // again with an X error that ends the process with status 1.
    if (attributes.c_class != InputOutput)
        return HostWindowLookup::ShowsNothing;
    mode = DesktopMode{attributes.width, attributes.height, attributes.depth};
    hostMode = mode;
    hostWindowInUse = true;
    return HostWindowLookup::Usable;
}

bool hostWindowGone()
{
    collectHostWindowEvents();
    return hostWindowDestroyed;
}

bool hostWindowResized(DesktopMode& mode)
{
    collectHostWindowEvents();
    if (!hostWindowSizeChanged)
        return false;
    hostWindowSizeChanged = false;
    mode = hostMode;
    return true;
}

} // namespace platform
