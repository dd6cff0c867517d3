// The few things the shell needs from the operating system and its window system that the
// SDL 1.2 API does not say the same way everywhere: standard streams to write to, a seed
// clock, the desktop's mode, swap control, whether SDL's video driver shows anything at all,
// the monitors a full-screen window covers, holding the keyboard, and a host window to draw
// into. One source file per platform implements this header; nothing else in the program
// tests which platform it is on. Knows nothing of the scene or of drawing.
#pragma once

#include <cstdint>
#include <vector>

namespace platform
{

// First thing in main: makes sure standard input, output and error are open, on the null
// device where they were closed, as launchers and daemons sometimes start programs. Otherwise
// the next files or connections opened (the window system's, say) take their places, and a
// report meant for standard error is written into them instead.
void ensureStandardStreamsOpen();

// Before a run sets up its display: once any connection the process holds to the window
// system (SDL's, the GL's or one of the platform's own) is found broken, because the server or
// compositor ended or another client closed it, the process ends at once with status 1 and a
// one-line report on standard error. Nothing is torn down on the way out: every teardown would talk
// to the lost server, and some wait for its answer for ever. Writing to the lost server never kills
// the process before that. Does nothing where no such connection can be lost under a running
// program.
void endProcessWhenDisplayLost();

// Pixels and bits per pixel of the desktop as it is now.
struct DesktopMode
{
    int width;
    int height;
    int bitsPerPixel;
};

// Before SDL_Init: asks SDL to draw OpenGL modes straight to the screen rather than into an
// off-screen buffer it then scales, which costs most of the frame rate on a software GL. Our
// mode is always the desktop's own size, so there is nothing to scale. It also spares the
// start what only typing text would use (X11's compose table). A setting the user made in the
// environment is left as it is.
void preferDirectOpenGlOutput();

// Before SDL_Init: leaves the window system's screen saver and display power saving to run on
// their own schedule. SDL holds both off while a program runs, as a video player would want;
// a screensaver left running all night would then keep the displays lit and stop a blank or
// lock the desktop schedules after it. A setting the user made in the environment is left as
// it is.
void letDisplaysSleep();

// Before SDL_Init, for a full-screen run: keeps SDL from drawing window decorations with a
// library of its own where the window system leaves decorations to the program (Wayland
// compositors without server-side decorations). A full-screen window shows none, and that
// library writes to standard error when it finds nothing to draw them with, into a daemon's
// log on every run. A setting the user made in the environment is left as it is.
void leaveFullScreenWindowUndecorated();

// Before SDL_Init, for a full-screen run: where the window system scales a window's buffers up
// to an output's scale unless the program draws them at the output's own resolution
// (Wayland), asks for buffers at that resolution; drawableSize() then says how large they are.
// Elsewhere it asks for nothing. A setting the user made in the environment is left as it is.
void drawAtOutputResolution();

// A size in pixels.
struct PixelSize
{
    int width;
    int height;
};

// After SDL_SetVideoMode: the size in pixels of the buffers the GL draws into, which the
// viewport must cover. Where drawAtOutputResolution() took effect it is the video surface's
// size times the output's scale, and it may change during the run (the scale is known only
// once the window is shown on its output); elsewhere (X11, Windows) it is the video surface's
// size. Cheap enough for every frame.
PixelSize drawableSize();

// Milliseconds on a clock that differs from run to run, truncated to 32 bits: the seed.
std::uint32_t millisecondTicks();

// After SDL_Init: false when SDL fell back on its own to a video driver that puts nothing on
// a screen (no display could be opened). A driver the user chose is always taken as meant.
bool videoDriverReachesScreen();

// After SDL_SetVideoMode: true where the window system tells a window where the pointer is
// only once the window is shown under it, so that SDL reports its first sight of the pointer
// as a motion from the window's corner (Wayland), once, within the window's first frames.
// False where SDL knew where the pointer was and reports only real motion.
bool pointerFirstSeenAsMotion();

// Right after SDL_SetVideoMode of a full-screen run: where the window system lets a window hold
// the pointer only through requests some of its servers mishandle (Wayland), leaves the pointer
// free rather than held by the run's window, which the SDL 1.2 API does in full screen. The run
// only watches the pointer, and sees its motion either way. Elsewhere it does nothing.
void leavePointerFree();

// After SDL_Init, before SDL_SetVideoMode: ask for buffer swaps that wait for this many
// vertical retraces, where the GL offers swap control; elsewhere it asks for nothing.
void requestSwapInterval(int interval);

// Right after SDL_SetVideoMode, with its GL context current: where swap control is a call on
// that context rather than a request SDL makes for us, makes the call requestSwapInterval
// asked for. Does nothing where nothing was asked for or the GL offers no swap control.
void applySwapInterval();

// After SDL_Init, before SDL_SetVideoMode. Where spanEveryMonitor() asked for a plain window
// over several monitors, the size is that of the whole desktop they show together.
DesktopMode desktopMode();

// A rectangle in pixels: its top-left corner from the top-left corner of what it lies on, y
// growing downward, and its size.
struct PixelRect
{
    int x;
    int y;
    int width;
    int height;
};

// Before SDL_Init, for a full-screen run: where the desktop is shown on several monitors (or on
// one that does not fill it), asks SDL for one full-screen window over the whole desktop, kept
// out of any window manager's hands, rather than one fitted to a single monitor. With one
// monitor filling the desktop it asks for nothing. Settings the user made in the environment
// are left as they are.
void spanEveryMonitor();

// After spanEveryMonitor, before SDL_SetVideoMode: true where one window over every monitor
// cannot be SDL's full-screen mode, which there covers one monitor only. The window is then an
// ordinary one without a frame (SDL_NOFRAME), of desktopMode()'s size, which
// spanEveryMonitor() placed over the whole desktop. False with one monitor, and wherever SDL's
// full-screen window covers every monitor itself.
bool spanWithPlainWindow();

// Right after SDL_SetVideoMode of the full-screen run's window: where it is such a plain
// window, puts it above every other window and in front, with the keyboard's focus, as SDL
// does for a full-screen window. Does nothing otherwise.
void raiseSpanningWindow();

// Before SDL_Init, for a full-screen run: in a Wayland session, asks SDL for its Wayland driver
// (X11 only should that fail) even where an X server for older programs is at hand too
// (Xwayland), through which the run would see neither the outputs nor the pointer as they are.
// Elsewhere, or where the user chose SDL's video driver, it asks for nothing.
void preferNativeVideoDriver();

// Before SDL_Init, after preferNativeVideoDriver, for a full-screen run with the scene already
// made: where a full-screen window covers one output only and there are several (Wayland),
// starts one run per output, each a copy of this process, scene included, shown full screen on
// its own output. In each run it returns false at once, as it does where one run covers every
// monitor (one output, X11, Windows) or the user chose the output. In this process it then
// only watches the runs: when one ends (or this process is asked to end by SIGTERM, SIGINT or
// SIGHUP) it ends the others, and once all have ended returns true with the status of the
// first to end (0 to 255; 128 + N for one killed by signal N). Each run's standard error is
// passed on when the run ends, but a set-up failure is reported once only, and so is a report
// that repeats the first run's word for word (each run finds the compositor gone). Should this
// process be killed, the runs end too.
bool superviseRunPerOutput(int& status);

// After SDL_SetVideoMode, in a full-screen run: the monitors now showing parts of the
// full-screen window, relative to the window, in the window system's order; at least one. A
// desktop that names no monitors is one monitor covering the window.
std::vector<PixelRect> monitorsOnWindow();

// True when the monitors may have changed since the last monitorsOnWindow(). Costs no round
// trip to the window system: cheap enough for every frame.
bool monitorsMayHaveChanged();

// After SDL_SetVideoMode, in a full-screen run, when the monitors may have changed: where the
// window was made over the whole desktop (spanEveryMonitor asked for it) and the desktop has
// since grown or shrunk, as when a monitor is added beyond its edge, resizes the window to
// cover the desktop again and returns true with the window's new width and height in pixels.
// False when the size still fits, and where the window is a full-screen window on one monitor,
// which the window system keeps fitted to that monitor; width and height are then untouched.
bool windowFollowsDesktop(int& width, int& height);

// After SDL_SetVideoMode, in a full-screen run, once per frame: keeps every key press coming
// to the program, whichever window has the focus, as a screensaver's keyboard must; the keys
// arrive as SDL key-down events (Escape as SDLK_ESCAPE, any other as SDLK_UNKNOWN). While
// another program holds the keyboard, or off X11, keys come to SDL as usual and it returns
// false; it tries again at the next call.
bool holdKeyboard();

// After the frame loop of a full-screen run, before SDL shuts down at exit: takes the run's
// window off the screen at once, where SDL's shutdown would otherwise wait for a window
// manager to answer it, for nothing where there is none (X11). Elsewhere it does nothing.
void hideWindowBeforeShutdown();

// A window that another program (a screensaver daemon) made for us to draw into: its id
// in the window system, as the daemon hands it over.
using HostWindowId = unsigned long;

// False where the window system has no daemons lending windows (Windows previews are a
// different protocol): the functions below must then not be called.
bool hostWindowsSupported();

// Before SDL_Init: makes SDL draw with OpenGL into the host window instead of opening a
// window of its own.
void drawIntoHostWindow(HostWindowId window);

// What the display has under a host window's id.
enum class HostWindowLookup
{
    Usable,
    Missing,      // no window at all
    ShowsNothing, // a window that takes input but shows nothing drawn into it
};

// After SDL_Init, before SDL_SetVideoMode: the host window's size in pixels and its depth,
// and from now on watch it for hostWindowGone(). The mode is set only for a usable window;
// SDL must not be handed any other.
HostWindowLookup hostWindowMode(HostWindowId window, DesktopMode& mode);

// True once the watched host window has been destroyed: the run should end. When drawing
// into it fails first, that failure ends the process at once with status 0 and no report.
bool hostWindowGone();

// True once after each change of the watched host window's size (a daemon follows the screen,
// a settings dialog its preview), with its new mode; false while it keeps its size.
bool hostWindowResized(DesktopMode& mode);

} // namespace platform
