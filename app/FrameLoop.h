// The frame loop: input, time, update, draw, swap, until the user comes back.
// Needs the display set up (setupDisplay). Runs on main's thread, the only one that draws or
// reads input (on Wayland the platform watches the compositor on a thread of its own); no pause
// state.
#pragma once

#include <SDL.h>

class ContourRenderer;
class MetaballField;
class MonitorViewports;

// Who decides when the run ends. On a screen of its own the user does: the pointer and Escape
// end the run. In a window a screensaver daemon lends, the daemon does: it owns the keyboard
// and mouse, and ends the run with the quit request or by taking its window away.
enum class RunOwner
{
    User,
    HostDaemon,
};

// Relative pointer motion in pixels (SDL's y grows downward) and SDL's button mask.
// Only motion of more than one pixel right or down, or a held left, middle or right
// button, ends the run.
bool pointerEndsRun(int dx, int dy, Uint8 buttons);

// The pointer's relative motion summed, per axis and with its sign, over the frames of the last
// 16 ms (one 60 Hz frame), so that how fast a hand must move to end the run does not grow
// with the frame rate. A frame that alone takes 16 ms or more is summed alone, as is every
// frame at 60 frames per second and below.
class PointerTravel
{
public:
    // The relative motion in pixels since the previous call, read at `now` (SDL's millisecond
    // ticks, which may wrap). When the sum would then cover more than 16 ms, it begins again
    // from the previous call.
    void add(int dx, int dy, Uint32 now);
    int dx() const { return sumX; }
    int dy() const { return sumY; }

private:
    Uint32 spanStart = 0;
    Uint32 previousRead = 0;
    int sumX = 0;
    int sumY = 0;
};

// Tells the window system's first word of where the pointer is from a hand's motion, where
// SDL reports that word as a motion from the window's corner (see
// platform::pointerFirstSeenAsMotion). The window system says it once, as it first shows the
// window under a pointer at rest, in answer to the window's first frame and before it lets
// the second be shown: so it is the first motion SDL reports, and it comes while the window
// is new, within its first 20 frames (on sway it came within 9, with two runs starting at once)
// or its first half second where frames come faster, whichever lasts longer. A first motion after
// that is a hand's. The numbers cannot tell: with the pointer held to the window, SDL counts
// its place from the corner, so the first motion always leads from the corner to where the
// pointer then is.
class PointerSighting
{
public:
    // Once per frame, with the motion SDL reported since the last frame in pixels and SDL's
    // millisecond ticks: true when that motion is the pointer being found, not moved.
    bool findsPointer(int dx, int dy, Uint32 now);

private:
    int framesSeen = 0;
    Uint32 firstFrame = 0;
    bool motionSeen = false;
};

// Handles one event taken from SDL's queue: a resize re-applies the viewport and the projection
// (reshape); anything else but what ends the run is ignored. True when it ends the run: Escape
// and a press of the left, middle or right button (only when the user owns the run), and the
// quit request.
bool handleEventEndsRun(const SDL_Event& event, RunOwner owner = RunOwner::User);

// A press of the left, middle or right button, held or already released: a touchpad's tap sends
// its press and release together, so the held buttons may never show it. The wheel's steps
// arrive as presses of buttons 4 and 5 and end nothing.
bool buttonPressEndsRun(const SDL_Event& event);

// After SDL has read the window system's input this frame: true when a press that ends the run
// waits in SDL's queue behind other events. The queue is left as it was, still to be taken one
// event a frame.
bool endingPressWaits();

// Seconds between frames from SDL's millisecond ticks. The previous tick starts at 0, so
// the first frame's step is the whole time since SDL started.
class FrameClock
{
public:
    // Wraps with the 32-bit tick counter; never capped.
    float secondsSinceLastFrame(Uint32 now);

private:
    Uint32 previous = 0;
};

// One pass of the loop. Returns false, before drawing anything, when the run should end.
// A daemon's run also ends once its window is gone. With monitors given, the picture goes on
// each of them; without, on the whole viewport once. A user's run holds the keyboard.
bool runFrame(MetaballField& field, ContourRenderer& renderer, FrameClock& clock,
              RunOwner owner = RunOwner::User, MonitorViewports* monitors = nullptr);

void runFrameLoop(MetaballField& field, ContourRenderer& renderer, RunOwner owner = RunOwner::User);
