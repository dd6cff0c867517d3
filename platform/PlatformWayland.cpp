// Wayland sessions on Linux, beside PlatformLinux.cpp, which does the rest.
// Does:
// - SDL's own Wayland driver first, rather than the X server a session may also offer
//   (Xwayland);
// - the process's end, at once and with status 1, when the compositor goes;
// - full screen without decorations, in buffers at the output's own resolution, whose size
//   drawableSize() tells;
// - the pointer's first sighting told from motion, and the pointer left free.
// Does not: the runs per output (RunPerOutput.cpp); monitors (a run covers one output, which
// monitorsOnWindow() takes for the whole window); the keyboard's hold (Wayland lends none).
#include "platform/Platform.h"

#include <SDL.h>
#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <wayland-client.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/Common.h"
#include "platform/Linux.h"

namespace
{

using platform::common::setUnlessUserSet;
using platform::linuxshared::isSet;
using platform::linuxshared::kOpenGlScalingVariable;

const char* const kVideoDriverVariable = "SDL_VIDEODRIVER";
// Wayland first; X11 (Xwayland) should the compositor not let SDL in.
const char* const kNativeDrivers = "wayland,x11";

// SDL2's Wayland driver decorates windows with libdecor where the compositor does not.
const char* const kDecorationLibraryVariable = "SDL_VIDEO_WAYLAND_ALLOW_LIBDECOR";

// The SDL 1.2 API on SDL2 asks for buffers at the output's resolution only when this is 1.
const char* const kOutputResolutionVariable = "SDL12COMPAT_HIGHDPI";

// Where the SDL 1.2 API on SDL2 is the implementation, it hands out the SDL2 window behind the
// video surface, and SDL2, which it loaded, tells how large that window's GL buffers are and
// whether the window holds the pointer.
const char* const kCompatWindowFunction = "SDL12COMPAT_GetWindow";
const char* const kSdl2Library = "libSDL2-2.0.so.0";
const char* const kDrawableSizeFunction = "SDL_GL_GetDrawableSize";
const char* const kWindowGrabFunction = "SDL_SetWindowGrab";
const char* const kRelativeMouseModeFunction = "SDL_SetRelativeMouseMode";
using CompatWindowFunction = void* (*)();
using DrawableSizeFunction = void (*)(void* window, int* width, int* height);
using WindowGrabFunction = void (*)(void* window, int grabbed);
using RelativeMouseModeFunction = int (*)(int enabled);

// The compositor, watched through a connection of our own that asks it for nothing, so that
// nothing comes on it but its end. SDL takes the loss of its own connection for a request to
// quit, and the run would end with status 0 as if the user had come back.
wl_display* compositor = nullptr;
std::atomic_flag lossReported = ATOMIC_FLAG_INIT;

// Ends the process without a word to the compositor: it is gone, and so is anything SDL could
// tear down there. Said once, whether the watch or the exit check gets here first.
[[noreturn]] void endOnLostCompositor()
{
    if (!lossReported.test_and_set())
        std::fputs("vornelle: lost the connection to the Wayland compositor\n", stderr);
    std::_Exit(1);
}

// On a thread of its own, for the rest of the run: dispatching fails only once the connection
// is broken.
void watchCompositor()
{
    while (wl_display_dispatch(compositor) >= 0)
    {
    }
    endOnLostCompositor();
}

bool compositorHungUp()
{
    pollfd connection{wl_display_get_fd(compositor), POLLIN, 0};
    const int noWait = 0;
    return poll(&connection, 1, noWait) > 0;
}

// At exit, after SDL's shutdown: a run that ended because SDL found the compositor gone before
// the watch did still ends as a lost connection.
void endIfCompositorLost()
{
    if (compositorHungUp())
        endOnLostCompositor();
}

// The watch must not take the signals meant for the program (SDL's handlers among them).
void startWatchWithSignalsBlocked()
{
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::thread(watchCompositor).detach();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// Once SDL has started: whether it took its Wayland driver.
bool drawingThroughWayland()
{
    return platform::linuxshared::sdlVideoDriver() == "wayland";
}

// Unless told not to, the SDL 1.2 API on SDL2 has the program draw into a buffer of the video
// surface's size, and scales that to the window itself.
bool openGlScaledBySdl()
{
    const char* scaling = std::getenv(kOpenGlScalingVariable);
    return scaling != nullptr && std::strcmp(scaling, "0") != 0;
}

// Null under classic SDL 1.2.
struct Sdl2Window
{
    CompatWindowFunction window = nullptr;
    DrawableSizeFunction drawableSize = nullptr;
    WindowGrabFunction setGrab = nullptr;
    RelativeMouseModeFunction setRelativeMouseMode = nullptr;
};

// Looked up once. SDL2 is only looked for where it is loaded already; the handle is never
// closed, as the library stays loaded for the whole run anyway.
const Sdl2Window& sdl2Window()
{
    static const Sdl2Window calls = []
    {
        Sdl2Window found;
        void* compatWindow = dlsym(RTLD_DEFAULT, kCompatWindowFunction);
        void* sdl2 = dlopen(kSdl2Library, RTLD_LAZY | RTLD_NOLOAD);
        if (compatWindow == nullptr || sdl2 == nullptr)
            return found;
        void* drawableSize = dlsym(sdl2, kDrawableSizeFunction);
        void* setGrab = dlsym(sdl2, kWindowGrabFunction);
        void* setRelativeMouseMode = dlsym(sdl2, kRelativeMouseModeFunction);
        if (drawableSize != nullptr && setGrab != nullptr && setRelativeMouseMode != nullptr)
        {
            found.window = reinterpret_cast<CompatWindowFunction>(compatWindow);
            found.drawableSize = reinterpret_cast<DrawableSizeFunction>(drawableSize);
            found.setGrab = reinterpret_cast<WindowGrabFunction>(setGrab);
            found.setRelativeMouseMode =
                reinterpret_cast<RelativeMouseModeFunction>(setRelativeMouseMode);
        }
        return found;
    }();
    return calls;
}

// The SDL2 window behind the video surface where SDL draws through its Wayland driver on SDL2;
// null elsewhere, and before the video mode is set.
void* sdl2WaylandWindow()
{
    const Sdl2Window& sdl2 = sdl2Window();
    return drawingThroughWayland() && sdl2.window != nullptr ? sdl2.window() : nullptr;
}

} // namespace

namespace platform
{

void linuxshared::preferNativeVideoDriver()
{
    if (!isSet("WAYLAND_DISPLAY") || isSet(kVideoDriverVariable))
        return;
    const bool replace = true;
    setenv(kVideoDriverVariable, kNativeDrivers, replace);
}

void linuxshared::endProcessWhenCompositorLost()
{
    if (compositor != nullptr || !isSet("WAYLAND_DISPLAY") ||
        !linuxshared::sdlTriesFirst("wayland"))
        return;
    compositor = wl_display_connect(nullptr);
    if (compositor == nullptr)
        return; // SDL will not reach it either, and will say so
    std::atexit(endIfCompositorLost);
    startWatchWithSignalsBlocked();
}

// SDL reads these settings from the environment; the user's own word wins.
void linuxshared::prepareWaylandWindow()
{
    setUnlessUserSet(kDecorationLibraryVariable, "0");
    if (isSet("WAYLAND_DISPLAY"))
        setUnlessUserSet(kOutputResolutionVariable, "1");
}

PixelSize drawableSize()
{
    const PixelRect surface = common::wholeVideoSurface();
    const PixelSize ofSurface{surface.width, surface.height};
    void* window = openGlScaledBySdl() ? nullptr : sdl2WaylandWindow();
    if (window == nullptr)
        return ofSurface;
    PixelSize size{0, 0};
    sdl2Window().drawableSize(window, &size.width, &size.height);
    return size.width > 0 && size.height > 0 ? size : ofSurface;
}

// A Wayland compositor tells a client nothing of the pointer until it enters one of its
// surfaces, which a compositor does when it first shows the surface under the pointer; X tells
// SDL where it is from the start.
bool pointerFirstSeenAsMotion()
{
    return drawingThroughWayland();
}

// The SDL 1.2 API takes the pointer for a full-screen window: it confines it to the window and,
// with the cursor hidden, locks it in place. mutter 43 crashed on that in most starts, and in
// the others a locked pointer's first motion reached no run. Let go before the compositor acts
// on either request (it does once the window is shown under the pointer), the pointer's motion
// goes to the run under it, whichever output that is. The grab goes first: letting go of the
// lock while the grab stands would have SDL confine the pointer instead.
void linuxshared::leavePointerFree()
{
    void* window = sdl2WaylandWindow();
    if (window == nullptr)
        return;
    sdl2Window().setGrab(window, 0);
    sdl2Window().setRelativeMouseMode(0);
}

} // namespace platform