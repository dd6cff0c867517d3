// X11 desktops on Linux, with the SDL 1.2 API on either of its implementations; also what all
// Linux runs share (platform/Linux.h).
// Does:
// - standard streams on /dev/null where they were closed; the seed from the monotonic clock;
// - the process's end, at once and with status 1, when the X server goes (the compositor's end
//   is PlatformWayland.cpp's);
// - SDL's full-screen window where a window manager makes one monitor full screen; elsewhere
//   one plain window over every monitor (RandR's monitors, else Xinerama's screens), kept out
//   of the window manager's hands, holding the pointer as a full-screen one does, and resized
//   as the desktop grows or shrinks;
// - the desktop's mode from SDL; swap control requested through SDL;
// - the keyboard held on a connection of our own, its keys passed on to SDL;
// - drawing into a screensaver daemon's window, watched for its size and its end;
// - the displays left to sleep; an invisible fallback driver told from one that shows;
// - no compose table read at start (a run reads keys, never text); no D-Bus for SDL unless the
//   user asked SDL to keep the screen awake; SDL's video left to the window system to free at
//   exit, where SDL's shutdown would take the window out of full screen and wait for a window
//   manager to answer.
// Does not: a run per output (RunPerOutput.cpp, for Wayland); SDL's full-screen mode where it
// covers one monitor only or waits for a window manager that is not there; a swap call on the
// GL context (SDL makes it); decorations, scaled outputs or the pointer's hold (Wayland's:
// PlatformWayland.cpp).
#include "platform/Platform.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/Common.h"
#include "platform/Linux.h"

namespace
{

using platform::common::setUnlessUserSet;
using platform::linuxshared::kOpenGlScalingVariable;
using platform::linuxshared::sdlTriesFirst;

// Drivers SDL falls back to when no display can be opened: they run, but nobody sees them.
const char* const kInvisibleDrivers[] = {"offscreen", "dummy", "caca", "aalib"};

// SDL opens an X input method for text entry, and Xlib's own then reads the locale's whole
// compose table (thousands of lines, some 10 ms). A run reads no text, only key presses, which
// come without it. An empty table in its place, for X11 only: SDL's Wayland driver reads the
// same variable through another library, which cannot read the null device and says so on
// standard error. A file the user named is left as it is.
const char* const kComposeFileVariable = "XCOMPOSEFILE";
const char* const kEmptyComposeFile = "/dev/null";

// SDL connects to the session bus at start, then through it to the system bus and the input
// method's, for text entry and for keeping the screen awake: a run wants neither, unless the
// user asked for the screen kept awake. With no session bus running, D-Bus would even start
// one for the display, some 100 ms, and leave it running after the run. An address of a kind
// D-Bus does not know fails at once, and SDL then does without D-Bus. Any address the session
// had is for other programs, not SDL's to use here.
const char* const kSessionBusVariable = "DBUS_SESSION_BUS_ADDRESS";
const char* const kNoBus = "disabled:";

// SDL's shutdown of its video, at exit once the run is over, takes a full-screen window out of
// full screen, asking the window manager and waiting for its answer, then tears down the GL
// context, the window and the display connection one by one (some 8 ms of every exit, 100 ms
// where no manager answers): the window system frees all of them the moment the process ends.
const char* const kNoVideoShutdownSetting = "SDL12COMPAT_NO_QUIT_VIDEO";

// The host window, watched through a connection of our own: SDL's events are SDL's to read.
Display* watcher = nullptr;
Window hostWindow = None;
bool hostWindowInUse = false; // its size is known and SDL is told to draw into it
bool hostWindowDestroyed = false;
platform::DesktopMode hostMode{};   // as the window system last reported it
bool hostWindowSizeChanged = false; // since the frame loop last asked
XErrorHandler reportXError = nullptr;

// SDL2's settings, read by the SDL 1.2 API on SDL2 at SDL_Init, that make it see the whole root
// window as its one display, and keep a window manager from fitting the window to one monitor.
const char* const kWholeRootSettings[] = {"SDL_VIDEO_X11_XRANDR", "SDL_VIDEO_X11_XINERAMA",
                                          "SDL_VIDEO_X11_XVIDMODE"};
const char* const kOverrideRedirectSetting = "SDL_X11_FORCE_OVERRIDE_REDIRECT";
// The SDL 1.2 API on SDL2 would make a frameless window of the desktop's size full screen.
const char* const kPlainFramelessSetting = "SDL12COMPAT_FIX_BORDERLESS_FS_WIN";

// RandR's monitors, which may split one output or join several, came with version 1.5.
const int kRandrMonitorsVersion = 105;

// The desktop's monitors, watched through a connection of our own, which also holds the
// keyboard: SDL lets go of any keyboard grab made through its own connection as soon as its
// window loses the focus, which is just when the hold is needed.
Display* desktop = nullptr;
bool monitorsChanged = false;
bool windowSpansDesktop = false; // SDL was asked for one window over the whole root
bool keyboardHeld = false;
Window holdWindow = None; // SDL's window, watched for what takes the hold away

bool saysHostWindowIsGone(const XErrorEvent& error)
{
    return error.resourceid == hostWindow &&
           (error.error_code == BadWindow || error.error_code == BadDrawable);
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

// X errors that follow from the window's going need not name it: a drawing context made for
// a window already gone, say, fails later on a resource of its own. Asked on our own
// connection, never the failing one, the window system says whether the window is still there.
bool hostWindowWentAway(Display* failing)
{
    if (!hostWindowInUse || failing == watcher)
        return false;
    XSync(watcher, False);
    collectHostWindowEvents();
    return hostWindowDestroyed;
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
    if (!hostWindowDestroyed && !saysHostWindowIsGone(*error) && !hostWindowWentAway(display))
        return reportXError != nullptr ? reportXError(display, error) : 0;
    hostWindowDestroyed = true;
    if (hostWindowInUse)
        std::_Exit(0);
    return 0; // asking for the size of a window that is not there: the caller sees it failed
}

// Xlib calls this from whichever request found a connection broken, and ends the process
// itself with exit() should it return: that would run SDL's shutdown at exit, which waits for
// an event from the lost server and, since Xlib reads nothing more from a broken connection,
// spins there for ever.
[[noreturn]] int endOnLostConnection(Display* display)
{
    std::fprintf(stderr, "vornelle: lost the connection to the X server %s\n",
                 DisplayString(display));
    std::_Exit(1);
}

// Writing to a server that has gone raises SIGPIPE before Xlib can see the connection broken.
// A handler that does nothing, not SIG_IGN, so that programs started from here (SDL may start
// D-Bus's launcher) get the default back when they load.
void carryOnAfterBrokenPipe(int) {}

// Also true once preferNativeVideoDriver has chosen: that choice names only drivers that show
// on a screen.
bool userChoseDriver()
{
    return platform::linuxshared::isSet("SDL_VIDEODRIVER");
}

bool offersRandr(Display* display)
{
    int eventBase = 0;
    int errorBase = 0;
    return XRRQueryExtension(display, &eventBase, &errorBase);
}

Display* desktopConnection()
{
    if (desktop != nullptr)
        return desktop;
    desktop = XOpenDisplay(nullptr);
    if (desktop == nullptr)
        return nullptr;
    // Setting a RandR monitor tells only through the root's ConfigureNotify; changes of
    // outputs and modes also through RandR's own event.
    const Window root = DefaultRootWindow(desktop);
    XSelectInput(desktop, root, StructureNotifyMask);
    if (offersRandr(desktop))
        XRRSelectInput(desktop, root, RRScreenChangeNotifyMask);
    return desktop;
}

// Key presses the hold brings in go on to SDL's queue, the only place the program reads keys.
void passOnKeyPress(XKeyEvent& press)
{
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = XLookupKeysym(&press, 0) == XK_Escape ? SDLK_ESCAPE : SDLK_UNKNOWN;
    SDL_PushEvent(&event);
}

// The server lets go of the hold once its window stops being viewable (hidden, even for a
// moment), without a word to the holder. What gives it away: the window unmapped, or a focus
// leaving it. Either way the hold is taken again from the next frame on; taking it again while
// it still holds changes nothing.
void noteHoldWindowEvent(const XEvent& event)
{
    if (event.type == UnmapNotify || event.type == FocusOut)
        keyboardHeld = false;
}

// Watched before the first hold is asked for, so that no loss can slip in between.
void watchHoldWindow(Window window)
{
    if (window == holdWindow)
        return;
    holdWindow = window;
    XSelectInput(desktop, window, StructureNotifyMask | FocusChangeMask);
}

// Reads whatever has arrived, without waiting.
void readDesktopEvents()
{
    while (XPending(desktop) > 0)
    {
        XEvent event;
        XNextEvent(desktop, &event);
        if (event.type == KeyPress)
            passOnKeyPress(event.xkey);
        else if (event.xany.window == holdWindow)
            noteHoldWindowEvent(event);
        else if (event.type != KeyRelease)
            monitorsChanged = true;
        // Keeps the root's size as Xlib tells it (DisplayWidth, DisplayHeight) up to date.
        XRRUpdateConfiguration(&event);
    }
}

bool hasRandrMonitors(Display* display)
{
    int major = 0;
    int minor = 0;
    return offersRandr(display) && XRRQueryVersion(display, &major, &minor) &&
           major * 100 + minor >= kRandrMonitorsVersion;
}

void keepIfNotEmpty(std::vector<platform::PixelRect>& rects, const platform::PixelRect& rect)
{
    if (rect.width > 0 && rect.height > 0)
        rects.push_back(rect);
}

std::vector<platform::PixelRect> randrMonitors(Display* display)
{
    std::vector<platform::PixelRect> rects;
    if (!hasRandrMonitors(display))
        return rects;
    const Bool activeOnly = True;
    int count = 0;
    XRRMonitorInfo* monitors =
        XRRGetMonitors(display, DefaultRootWindow(display), activeOnly, &count);
    for (int i = 0; i < count; ++i)
        keepIfNotEmpty(rects, platform::PixelRect{monitors[i].x, monitors[i].y, monitors[i].width,
                                                  monitors[i].height});
    if (monitors != nullptr)
        XRRFreeMonitors(monitors);
    return rects;
}

std::vector<platform::PixelRect> xineramaMonitors(Display* display)
{
    std::vector<platform::PixelRect> rects;
    int eventBase = 0;
    int errorBase = 0;
    if (!XineramaQueryExtension(display, &eventBase, &errorBase) || !XineramaIsActive(display))
        return rects;
    int count = 0;
    XineramaScreenInfo* screens = XineramaQueryScreens(display, &count);
    for (int i = 0; i < count; ++i)
        keepIfNotEmpty(rects, platform::PixelRect{screens[i].x_org, screens[i].y_org,
                                                  screens[i].width, screens[i].height});
    if (screens != nullptr)
        XFree(screens);
    return rects;
}

platform::PixelRect wholeScreen(Display* display)
{
    const int screen = DefaultScreen(display);
    return platform::PixelRect{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
}

// On the root window: RandR's monitors, else Xinerama's screens; none where neither names one.
std::vector<platform::PixelRect> namedMonitors(Display* display)
{
    std::vector<platform::PixelRect> monitors = randrMonitors(display);
    if (monitors.empty())
        monitors = xineramaMonitors(display);
    return monitors;
}

// The monitors named, else the whole screen as one.
std::vector<platform::PixelRect> desktopMonitors(Display* display)
{
    std::vector<platform::PixelRect> monitors = namedMonitors(display);
    if (monitors.empty())
        monitors.push_back(wholeScreen(display));
    return monitors;
}

bool sdlWindow(SDL_SysWMinfo& info)
{
    return platform::common::sdlWindowInfo(info) && info.subsystem == SDL_SYSWM_X11 &&
           info.info.x11.display != nullptr && info.info.x11.window != None;
}

// SDL's window as the root sees it.
bool sdlWindowOnRoot(Display* display, platform::PixelRect& onRoot)
{
    SDL_SysWMinfo info;
    if (!sdlWindow(info))
        return false;
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, info.info.x11.window, &attributes) == 0)
        return false;
    Window child = None;
    onRoot.width = attributes.width;
    onRoot.height = attributes.height;
    return XTranslateCoordinates(display, info.info.x11.window, attributes.root, 0, 0, &onRoot.x,
                                 &onRoot.y, &child) != 0;
}

void endProcessWhenDisplayLost()
{
    // Xlib keeps one such handler for the process; opening a display later sets its own only
    // where none is set, and neither SDL nor the GL sets one.
    XSetIOErrorHandler(endOnLostConnection);
    struct sigaction action
    {
    };
    action.sa_handler = carryOnAfterBrokenPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &action, nullptr);
    platform::linuxshared::endProcessWhenCompositorLost();
}

// A window manager holds the selection WM_Sn of the screen it manages.
bool windowManagerRuns(Display* display)
{
    const std::string selection = "WM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
}

// Where SDL's full-screen window would not cover the whole desktop (several monitors, or none
// that SDL can find), or where no window manager would answer SDL's request for full screen
// (SDL waits 100 ms for the window to change), a plain window over the whole root, kept out of
// the window manager's hands, takes its place.
void spanEveryMonitor()
{
    // With no driver named, SDL tries X11 first.
    if (userChoseDriver() && !sdlTriesFirst("x11"))
        return; // an X server at hand is not the one the run shows on
    // The connection that follows the monitors and holds the keyboard later in the run.
    Display* display = desktopConnection();
    if (display == nullptr)
        return; // SDL_Init will say what is wrong
    const std::vector<platform::PixelRect> monitors = namedMonitors(display);
    const bool oneMonitorFillsDesktop =
        monitors.size() == 1 && platform::common::sameRect(monitors.front(), wholeScreen(display));
    // SDL takes its displays from RandR where the server offers it: with every output off (a
    // headless or remote server, a laptop with its lid shut) it would find none and not start.
    const bool sdlSeesWholeScreen = monitors.empty() && !offersRandr(display);
    if ((oneMonitorFillsDesktop || sdlSeesWholeScreen) && windowManagerRuns(display))
        return;
    for (const char* setting : kWholeRootSettings)
        setUnlessUserSet(setting, "0");
    setUnlessUserSet(kOverrideRedirectSetting, "1");
    setUnlessUserSet(kPlainFramelessSetting, "0");
    windowSpansDesktop = true;
}

void drawIntoHostWindow(platform::HostWindowId window)
{
    const bool replace = true;
    setenv("SDL_WINDOWID", std::to_string(window).c_str(), replace);
    // Without this the SDL 1.2 API on SDL2 cannot make an OpenGL context for a foreign window.
    setenv("SDL_VIDEO_FOREIGN_WINDOW_OPENGL", "1", replace);
    // Set before SDL starts, SDL's own handler passes every error on to this one, and, where its
    // shutdown runs at all (the user may ask for it), SDL puts this one back, not Xlib's, before
    // it closes its connection at exit: errors that a window taken away leaves behind in the GL
    // may arrive only then.
    reportXError = XSetErrorHandler(quietAboutHostWindow);
}

} // namespace

namespace platform
{

bool linuxshared::isSet(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

bool linuxshared::sdlTriesFirst(const char* driver)
{
    const char* drivers = std::getenv("SDL_VIDEODRIVER");
    const std::size_t length = std::strlen(driver);
    return drivers != nullptr && std::strncmp(drivers, driver, length) == 0 &&
           (drivers[length] == '\0' || drivers[length] == ',');
}

long long linuxshared::millisecondsNow()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::string linuxshared::sdlVideoDriver()
{
    char name[64] = "";
    return SDL_VideoDriverName(name, sizeof name) != nullptr ? name : "";
}

void ensureStandardStreamsOpen()
{
    for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream)
        if (fcntl(stream, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", O_RDWR); // the lowest free number, which is this stream's
}

void beforeVideoStarts(HostWindowId hostWindow)
{
    endProcessWhenDisplayLost();
    if (hostWindow == kFullScreen)
    {
        spanEveryMonitor();
        linuxshared::prepareWaylandWindow();
    }
    else
        drawIntoHostWindow(hostWindow);
    setUnlessUserSet(kOpenGlScalingVariable, "0");
    // With no driver named, SDL tries X11 first.
    if (!userChoseDriver() || sdlTriesFirst("x11"))
        setUnlessUserSet(kComposeFileVariable, kEmptyComposeFile);
    setUnlessUserSet(kNoVideoShutdownSetting, "1");
    common::letDisplaysSleep();
    const bool replace = true;
    if (common::displaysMaySleep())
        setenv(kSessionBusVariable, kNoBus, replace);
}

// The desktop's mode as SDL sees it: the whole root's where spanEveryMonitor made the window a
// plain one over it.
FullScreenMode fullScreenMode()
{
    const bool plainWindow = windowSpansDesktop;
    // SDL_SetVideoMode reads zeros as "the current mode".
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info == nullptr)
        return {DesktopMode{0, 0, 0}, plainWindow};
    return {DesktopMode{info->current_w, info->current_h, info->vfmt->BitsPerPixel}, plainWindow};
}

// The pointer held for the plain window as the SDL 1.2 API holds it for a full-screen one.
void afterVideoModeSet()
{
    if (windowSpansDesktop)
        SDL_WM_GrabInput(SDL_GRAB_ON);
    linuxshared::leavePointerFree();
}

std::vector<PixelRect> monitorsOnWindow()
{
    PixelRect window{};
    SDL_SysWMinfo info;
    if (!sdlWindow(info))
        return {common::wholeVideoSurface()}; // not on X11: no X server need be asked
    Display* display = desktopConnection();
    if (display == nullptr || !sdlWindowOnRoot(display, window))
        return {common::wholeVideoSurface()};
    readDesktopEvents();
    monitorsChanged = false;
    return common::monitorsOnWindow(desktopMonitors(display), window);
}

bool monitorsMayHaveChanged()
{
    if (desktop != nullptr)
        readDesktopEvents();
    return monitorsChanged;
}

// SDL knows the root only at the size it had when SDL started: the window is resized here, on
// the connection that watches the root. No window manager has a say, the window being kept
// out of its hands, and GL's drawing surface follows the window's size by itself.
bool windowFollowsDesktop(int& width, int& height)
{
    SDL_SysWMinfo info;
    if (!windowSpansDesktop || desktop == nullptr || !sdlWindow(info))
        return false;
    const PixelRect root = wholeScreen(desktop);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(desktop, info.info.x11.window, &attributes) == 0 ||
        (attributes.width == root.width && attributes.height == root.height))
        return false;
    XMoveResizeWindow(desktop, info.info.x11.window, 0, 0, static_cast<unsigned>(root.width),
                      static_cast<unsigned>(root.height));
    XFlush(desktop);
    width = root.width;
    height = root.height;
    return true;
}

bool holdKeyboard()
{
    SDL_SysWMinfo info;
    if (!keyboardHeld && sdlWindow(info) && desktopConnection() != nullptr)
    {
        watchHoldWindow(info.info.x11.window);
        keyboardHeld = XGrabKeyboard(desktop, info.info.x11.window, False, GrabModeAsync,
                                     GrabModeAsync, CurrentTime) == GrabSuccess;
    }
    if (desktop != nullptr)
        readDesktopEvents();
    return keyboardHeld;
}

std::uint32_t millisecondTicks()
{
    return static_cast<std::uint32_t>(linuxshared::millisecondsNow());
}

bool videoDriverReachesScreen()
{
    if (userChoseDriver())
        return true;
    const std::string name = linuxshared::sdlVideoDriver();
    if (name.empty())
        return false;
    for (const char* invisible : kInvisibleDrivers)
        if (name == invisible)
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

bool hostWindowsSupported()
{
    return true;
}

HostWindowLookup hostWindowMode(HostWindowId window, DesktopMode& mode)
{
    if (watcher == nullptr)
        watcher = XOpenDisplay(nullptr);
    if (watcher == nullptr)
        return HostWindowLookup::Missing;
    hostWindow = window;

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
