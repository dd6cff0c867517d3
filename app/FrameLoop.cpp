#include "app/FrameLoop.h"

#include <SDL_opengl.h>

#include <algorithm>
#include <cstdint>

#include "app/Display.h"
#include "app/Viewports.h"
#include "field/MetaballField.h"
#include "platform/Platform.h"
#include "render/ContourRenderer.h"

namespace
{

const int kMotionTolerance = 1; // pixels
const Uint8 kEndingButtons =
    SDL_BUTTON(SDL_BUTTON_LEFT) | SDL_BUTTON(SDL_BUTTON_MIDDLE) | SDL_BUTTON(SDL_BUTTON_RIGHT);
const float kSecondsPerMillisecond = 0.001f;
const Uint32 kTravelSpanMilliseconds = 16; // one 60 Hz frame
const int kPressesLookedAt = 128;          // more presses than come between two frames

// How long a window is new, both ways (see PointerSighting): frames come at the window
// system's pace, and time passes anyway where they come as fast as the GL goes.
const int kNewWindowFrames = 20;
const Uint32 kNewWindowMilliseconds = 500;

// SDL keeps one relative motion state for the process; this sums what it reports.
PointerTravel travel;
PointerSighting sighting;

bool pointerWasTouched()
{
    int dx = 0;
    int dy = 0;
    const Uint8 buttons = SDL_GetRelativeMouseState(&dx, &dy);
    const Uint32 now = SDL_GetTicks();
    if (sighting.findsPointer(dx, dy, now) && platform::pointerFirstSeenAsMotion())
        dx = dy = 0;
    travel.add(dx, dy, now);
    return pointerEndsRun(travel.dx(), travel.dy(), buttons);
}

// Takes at most one event: any others wait for the frames after this one.
bool handleNextEventEndsRun(RunOwner owner)
{
    SDL_Event event;
    return SDL_PollEvent(&event) != 0 && handleEventEndsRun(event, owner);
}

// Asked after the event is taken, which brings in what the window system sent since the last
// frame: a tap between two frames ends the run at the next one.
bool userPressWaits(RunOwner owner)
{
    return owner == RunOwner::User && endingPressWaits();
}

bool hostTookWindowAway(RunOwner owner)
{
    return owner == RunOwner::HostDaemon && platform::hostWindowGone();
}

// Checked before the frame is drawn, so that a frame is never drawn at the old size once the
// window system has told us of the new one.
void followHostWindowSize(RunOwner owner)
{
    platform::DesktopMode mode{};
    if (owner == RunOwner::HostDaemon && platform::hostWindowResized(mode))
        resizeDisplayInWindow(mode);
}

} // namespace

bool pointerEndsRun(int dx, int dy, Uint8 buttons)
{
    return dx > kMotionTolerance || dy > kMotionTolerance || (buttons & kEndingButtons) != 0;
}

bool buttonPressEndsRun(const SDL_Event& event)
{
    return event.type == SDL_MOUSEBUTTONDOWN && event.button.button >= SDL_BUTTON_LEFT &&
           event.button.button <= SDL_BUTTON_RIGHT;
}

bool endingPressWaits()
{
    SDL_Event presses[kPressesLookedAt];
    const int count =
        SDL_PeepEvents(presses, kPressesLookedAt, SDL_PEEKEVENT, SDL_MOUSEBUTTONDOWNMASK);
    return std::any_of(presses, presses + std::max(count, 0), buttonPressEndsRun);
}

bool handleEventEndsRun(const SDL_Event& event, RunOwner owner)
{
    switch (event.type)
    {
    case SDL_KEYDOWN:
        return owner == RunOwner::User && event.key.keysym.sym == SDLK_ESCAPE;
    case SDL_MOUSEBUTTONDOWN:
        return owner == RunOwner::User && buttonPressEndsRun(event);
    case SDL_QUIT:
        return true;
    case SDL_VIDEORESIZE:
        reshape(event.resize.w, event.resize.h);
        return false;
    default:
        return false;
    }
}

bool PointerSighting::findsPointer(int dx, int dy, Uint32 now)
{
    if (framesSeen == 0)
        firstFrame = now;
    if (framesSeen <= kNewWindowFrames)
        ++framesSeen;
    if (motionSeen || (dx == 0 && dy == 0))
        return false;
    motionSeen = true;
    return framesSeen <= kNewWindowFrames || now - firstFrame <= kNewWindowMilliseconds;
}

void PointerTravel::add(int dx, int dy, Uint32 now)
{
    if (now - spanStart > kTravelSpanMilliseconds)
    {
        spanStart = previousRead;
        sumX = 0;
        sumY = 0;
    }
    sumX += dx;
    sumY += dy;
    previousRead = now;
}

float FrameClock::secondsSinceLastFrame(Uint32 now)
{
    const auto elapsed = static_cast<std::int32_t>(now - previous);
    previous = now;
    return static_cast<float>(elapsed) * kSecondsPerMillisecond;
}

bool runFrame(MetaballField& field, ContourRenderer& renderer, FrameClock& clock, RunOwner owner,
              MonitorViewports* monitors)
{
    // Input, before anything is drawn, so ending never costs more than this frame. The
    // pointer is read in every run, so that its relative motion never piles up.
    const bool touched = pointerWasTouched() && owner == RunOwner::User;
    if (handleNextEventEndsRun(owner) || touched || userPressWaits(owner) ||
        hostTookWindowAway(owner))
        return false;
    followHostWindowSize(owner);
    if (owner == RunOwner::User)
        followDrawableSize();

    // The window may not have been viewable yet, or another program held the keyboard.
    if (owner == RunOwner::User)
        platform::holdKeyboard();
    if (monitors != nullptr)
        monitors->follow();

    const float dt = clock.secondsSinceLastFrame(SDL_GetTicks());

    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    field.update(dt);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    if (monitors != nullptr)
        monitors->draw(renderer);
    else
        renderer.draw();

    SDL_GL_SwapBuffers();
    return true;
}

void runFrameLoop(MetaballField& field, ContourRenderer& renderer, RunOwner owner)
{
    FrameClock clock;
    if (owner == RunOwner::HostDaemon)
    {
        while (runFrame(field, renderer, clock, owner))
        {
        }
        return;
    }
    const SDL_Surface* screen = SDL_GetVideoSurface();
    MonitorViewports monitors(screen->w, screen->h);
    while (runFrame(field, renderer, clock, owner, &monitors))
    {
    }
}
