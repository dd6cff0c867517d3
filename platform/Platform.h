// The few things the shell needs from the operating system and its window system that the
// SDL 1.2 API does not say the same way everywhere, in the order a run calls them: standard
// streams and a seed clock at the start; on Wayland, one process per output; the settings made
// before SDL starts; the mode to ask for; what is done right after the mode is set; and what
// is looked at every frame (the buffers' size, the pointer, the monitors, the keyboard, a
// daemon's window). Each platform's sources say at their top what they do and do not do; nothing
// else in the program tests which platform it is on. Knows nothing of the scene or of drawing.
#pragma once

#include <cstdint>
#include <vector>

namespace platform
{

// Pixels and bits per pixel of the desktop as it is now.
struct DesktopMode
{
    int width;
    int height;
    int bitsPerPixel;
};

// A size in pixels.
struct PixelSize
{
    int width;
    int height;
};

// A rectangle in pixels: its top-left corner from the top-left corner of what it lies on, y
// growing downward, and its size.
struct PixelRect
{
    int x;
    int y;
    int width;
    int height;
};

// A window that another program (a screensaver daemon) made for us to draw into: its id in the
// window system, as the daemon hands it over. kFullScreen stands for none: the run opens its own
// full-screen window.
using HostWindowId = unsigned long;
const HostWindowId kFullScreen = 0;

// --- At the start of the process, before anything else.

// First thing in main: makes sure standard input, output and error are open, on the null
// device where they were closed, as launchers and daemons sometimes start programs. Otherwise
// the next files or connections opened (the window system's, say) take their places, and a
// report meant for standard error is written into them instead.
void ensureStandardStreamsOpen();

// Milliseconds on a clock that differs from run to run, truncated to 32 bits: the seed.
std::uint32_t millisecondTicks();

// False where the window system has no daemons lending windows (Windows previews are a
// different protocol): no run may then be given a host window.
bool hostWindowsSupported();

// --- Draw, or watch the runs: for a full-screen run, with the scene already made.

// What this process does in a full-screen run.
enum class ProcessRole
{
    Draws,       // sets up the display and runs the frame loop
    WatchesRuns, // started one run per output, each a copy of it, and only watches them
};

// Before anything else touches SDL or the window system. Where a full-screen window covers one
// output only and there are several (Wayland), starts one run per output, each a copy of this
// process, scene included, shown full screen on its own output: in each run it returns Draws,
// and in this process WatchesRuns. With one output, where one window covers every monitor (X11,
// Windows), or where the user chose the output, it starts nothing and returns Draws. In a
// Wayland session it also asks SDL for its Wayland driver (X11 only should that fail) unless the
// user chose one: through Xwayland the run would see neither the outputs nor the pointer as
// they are.
ProcessRole startRunPerOutput();

// Where startRunPerOutput() returned WatchesRuns: when one run ends (or this process is asked
// to end by SIGTERM, SIGINT or SIGHUP) ends the others, killing any that has not ended a second
// later, and once all have ended returns the status of the first to end (0 to 255; 128 + N for
// one killed by signal N). Each run's standard error is passed on when the run ends, but a
// set-up failure is reported once only, and so is a report that repeats the first run's word for
// word (each run finds the compositor gone). Should this process be killed, the runs end too,
// stopped ones included.
int watchRunsUntilAllEnd();

// --- Before SDL_Init, in the process that draws.

// Everything SDL must find in place when it starts, for a full-screen run (kFullScreen) or one in a
// daemon's window. Both: once any connection the process holds to the window system (SDL's, the
// GL's or the platform's own; where one can be lost under a running program) is found broken,
// because the server or compositor ended or another client closed it, the process ends at once with
// status 1 and one line on standard error, tearing nothing down (every teardown would talk to the
// lost server, and some wait for its answer for ever); SDL draws OpenGL modes straight to the
// screen rather than into a buffer it scales; the window system's screen saver and display power
// saving keep their own schedule (SDL would hold both off, as a video player wants, keeping the
// displays lit all night). Full screen: where the desktop is shown on several monitors (or one that
// does not fill it), one window over the whole desktop, kept out of any window manager's hands; no
// decorations drawn by a library of SDL's own (which writes to standard error where it finds
// nothing to draw them with); on outputs the window system scales, buffers at the output's own
// resolution. In a host window: SDL draws there with OpenGL instead of opening a window of its own.
// Settings the user made in the environment are left as they are.
void beforeVideoStarts(HostWindowId hostWindow);

// --- After SDL_Init, before SDL_SetVideoMode.

// False when SDL fell back on its own to a video driver that puts nothing on a screen (no
// display could be opened). A driver the user chose is always taken as meant.
bool videoDriverReachesScreen();

// Asks for buffer swaps that wait for this many vertical retraces, where the GL offers swap
// control; elsewhere it asks for nothing.
void requestSwapInterval(int interval);

// The mode of a full-screen run's window, and how it is made.
struct FullScreenMode
{
    DesktopMode mode; // the desktop's, or the whole desktop's over several monitors
    // True where one window over every monitor cannot be SDL's full-screen mode, which there
    // covers one monitor only, or where that mode would wait for a window manager's answer that
    // never comes: the window is then an ordinary one without a frame (SDL_NOFRAME), which
    // beforeVideoStarts placed over the whole desktop.
    bool plainWindow;
};
FullScreenMode fullScreenMode();

// What the display has under a host window's id.
enum class HostWindowLookup
{
    Usable,
    Missing,      // no window at all
    ShowsNothing, // a window that takes input but shows nothing drawn into it
};

// The host window's size in pixels and its depth, and from now on watch it for
// hostWindowGone(). The mode is set only for a usable window; SDL must not be handed any other.
HostWindowLookup hostWindowMode(HostWindowId window, DesktopMode& mode);

// --- Right after SDL_SetVideoMode, with its GL context current.

// Makes the swap interval call where it is one on the context rather than a request SDL makes
// for us. Full screen: makes a plain window what SDL makes a full-screen one, above every other
// window and in front with the keyboard's focus, and holding the pointer; where the window
// system lets a window hold the pointer only through requests some of its servers mishandle
// (Wayland), leaves the pointer free rather than held, which the SDL 1.2 API does in full
// screen (the run only watches the pointer, and sees its motion either way).
void afterVideoModeSet();

// --- Every frame of a full-screen run.

// The size in pixels of the buffers the GL draws into, which the viewport must cover. On
// outputs the window system scales, the video surface's size times the output's scale, which
// may change during the run (the scale is known only once the window is shown on its output);
// elsewhere the video surface's size.
PixelSize drawableSize();

// True where the window system tells a window where the pointer is only once the window is
// shown under it, so that SDL reports its first sight of the pointer as a motion from the
// window's corner (Wayland, or a plain window on Windows), once, within the window's first
// frames. False where SDL knew where the pointer was and reports only real motion.
bool pointerFirstSeenAsMotion();

// The monitors now showing parts of the full-screen window, relative to the window, in the
// window system's order; at least one. A desktop that names no monitors is one monitor covering
// the window.
std::vector<PixelRect> monitorsOnWindow();

// True when the monitors may have changed since the last monitorsOnWindow(). Costs no round
// trip to the window system.
bool monitorsMayHaveChanged();

// When the monitors may have changed: where the window was made over the whole desktop and the
// desktop has since grown or shrunk, as when a monitor is added beyond its edge, resizes the
// window to cover the desktop again and returns true with the window's new width and height in
// pixels. False when the size still fits, and where the window is a full-screen window on one
// monitor, which the window system keeps fitted to that monitor; width and height are then
// untouched.
bool windowFollowsDesktop(int& width, int& height);

// Keeps every key press coming to the program, whichever window has the focus, as a
// screensaver's keyboard must; the keys arrive as SDL key-down events (Escape as SDLK_ESCAPE,
// any other as SDLK_UNKNOWN). While another program holds the keyboard, or off X11, keys come
// to SDL as usual and it returns false; it tries again at the next call.
bool holdKeyboard();

// --- Every frame of a run in a host window.

// True once the watched host window has been destroyed: the run should end. When drawing into
// it fails first, that failure ends the process at once with status 0 and no report.
bool hostWindowGone();

// True once after each change of the watched host window's size (a daemon follows the screen,
// a settings dialog its preview), with its new mode; false while it keeps its size.
bool hostWindowResized(DesktopMode& mode);

} // namespace platform
