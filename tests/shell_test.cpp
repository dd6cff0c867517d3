#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/Arguments.h"
#include "app/FrameLoop.h"

namespace
{

bool runsWith(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return isRunArgument(static_cast<int>(arguments.size()), argv.data());
}

TEST(RunArgument, OnlyAFirstArgumentBeginningWithSlashSRuns)
{
    EXPECT_TRUE(runsWith({"vornelle", "/s"}));
    EXPECT_TRUE(runsWith({"vornelle", "/s123"}));
    EXPECT_TRUE(runsWith({"vornelle", "/s", "/p"}));

    EXPECT_FALSE(runsWith({"vornelle"}));
    EXPECT_FALSE(runsWith({"vornelle", ""}));
    EXPECT_FALSE(runsWith({"vornelle", "/"}));
    EXPECT_FALSE(runsWith({"vornelle", "/p"}));
    EXPECT_FALSE(runsWith({"vornelle", "/c"}));
    EXPECT_FALSE(runsWith({"vornelle", "/S"}));
    EXPECT_FALSE(runsWith({"vornelle", "/p", "1234"}));
    EXPECT_FALSE(runsWith({"vornelle", "s/"}));
    EXPECT_FALSE(runsWith({"vornelle", "\xc3\xa9/s"}));
    EXPECT_FALSE(runsWith({"vornelle", std::string(100000, '/')}));
}

TEST(RunArgument, SurvivesAnEmptyArgumentVector)
{
    char* none[] = {nullptr};
    EXPECT_FALSE(isRunArgument(0, none));
    EXPECT_FALSE(isRunArgument(0, nullptr));
}

TEST(PointerExit, OnlyMotionRightOrDownOfMoreThanAPixelEnds)
{
    EXPECT_TRUE(pointerEndsRun(2, 0, 0));
    EXPECT_TRUE(pointerEndsRun(0, 2, 0));
    EXPECT_TRUE(pointerEndsRun(-5, 40, 0));

    EXPECT_FALSE(pointerEndsRun(0, 0, 0));
    EXPECT_FALSE(pointerEndsRun(1, 1, 0));
    EXPECT_FALSE(pointerEndsRun(-5, 0, 0));
    EXPECT_FALSE(pointerEndsRun(0, -5, 0));
    EXPECT_FALSE(pointerEndsRun(-300, -300, 0));
}

TEST(PointerExit, LeftMiddleOrRightButtonEnds)
{
    EXPECT_TRUE(pointerEndsRun(0, 0, 1));
    EXPECT_TRUE(pointerEndsRun(0, 0, 2));
    EXPECT_TRUE(pointerEndsRun(0, 0, 4));
    EXPECT_TRUE(pointerEndsRun(0, 0, 7 | 8));
    EXPECT_FALSE(pointerEndsRun(0, 0, 8));  // wheel up
    EXPECT_FALSE(pointerEndsRun(0, 0, 16)); // wheel down
}

// A hand moving the pointer by (stepX, stepY) every stepMs milliseconds for durationMs, seen
// by frames at framesPerSecond. Returns when the run ends, in ms, or -1 if it does not.
int travelEndsRunAt(double framesPerSecond, int stepMs, int stepX, int stepY, int durationMs)
{
    PointerTravel travel;
    int stepsSeen = 0;
    for (int frame = 1;; ++frame)
    {
        const int now = static_cast<int>(frame * 1000.0 / framesPerSecond);
        if (now > durationMs + 1000)
            return -1;
        const int stepsTaken = std::min(now, durationMs) / stepMs;
        const int steps = stepsTaken - stepsSeen;
        stepsSeen = stepsTaken;
        travel.add(steps * stepX, steps * stepY, static_cast<Uint32>(now));
        if (pointerEndsRun(travel.dx(), travel.dy(), 0))
            return now;
    }
}

const double kFrameRates[] = {1000.0, 240.0, 144.0, 120.0, 100.0, 60.0};

TEST(PointerTravel, SteadyMotionEndsTheRunAtEveryFrameRate)
{
    for (const double rate : kFrameRates)
    {
        SCOPED_TRACE(rate);
        // 200 px/s, one pixel at a time: about 3 px per 60 Hz frame.
        EXPECT_NE(travelEndsRunAt(rate, 5, 1, 0, 1000), -1);
        EXPECT_LE(travelEndsRunAt(rate, 5, 1, 1, 1000), 40); // within a few frames
    }
}

TEST(PointerTravel, SlowBackwardOrSingleStepsNeverEndTheRun)
{
    for (const double rate : kFrameRates)
    {
        SCOPED_TRACE(rate);
        EXPECT_EQ(travelEndsRunAt(rate, 20, 1, 1, 5000), -1); // at most 1 px per 16 ms
        EXPECT_EQ(travelEndsRunAt(rate, 1, -1, -1, 5000), -1);
        EXPECT_EQ(travelEndsRunAt(rate, 1, -1, 0, 5000), -1);
        EXPECT_EQ(travelEndsRunAt(rate, 1000, 1, 1, 1000), -1); // one step, then stillness
    }
}

TEST(PointerTravel, AtSixtyFramesPerSecondAndBelowEachFrameIsSummedAlone)
{
    PointerTravel travel;
    Uint32 now = 1000;
    for (const Uint32 frameMs : {16u, 17u, 16u, 33u, 100u})
    {
        travel.add(1, 1, now += frameMs);
        EXPECT_EQ(travel.dx(), 1);
        EXPECT_EQ(travel.dy(), 1);
    }
    travel.add(2, -7, now += 16);
    EXPECT_EQ(travel.dx(), 2);
    EXPECT_EQ(travel.dy(), -7);
}

TEST(PointerTravel, SumsWithSignOverSixteenMillisecondsAcrossTheTickCounterWrapping)
{
    PointerTravel travel;
    travel.add(5, 5, 0xFFFFFFF0u);
    travel.add(1, 0, 0xFFFFFFF8u); // a new span from the previous read, 0xFFFFFFF0
    travel.add(-3, 1, 0xFFFFFFFCu);
    travel.add(4, 1, 0x0u); // 16 ms of motion: still one span
    EXPECT_EQ(travel.dx(), 2);
    EXPECT_EQ(travel.dy(), 2);
    travel.add(1, 0, 0x1u); // 17 ms: a new span from the previous read
    EXPECT_EQ(travel.dx(), 1);
    EXPECT_EQ(travel.dy(), 0);
}

// Whether a run whose frames come every frameMs from `start` takes a first motion in frame
// motionFrame (counted from 1), after still frames, for the pointer being found.
bool firstMotionIsSighting(int motionFrame, double frameMs, Uint32 start = 1000)
{
    PointerSighting sighting;
    const auto frameTime = [&](int frame)
    { return start + static_cast<Uint32>((frame - 1) * frameMs); };
    for (int frame = 1; frame < motionFrame; ++frame)
        EXPECT_FALSE(sighting.findsPointer(0, 0, frameTime(frame)));
    return sighting.findsPointer(640, 360, frameTime(motionFrame));
}

TEST(PointerSighting, OnlyTheFirstMotionOfANewWindowIsThePointerFound)
{
    PointerSighting sighting;
    EXPECT_FALSE(sighting.findsPointer(0, 0, 100));
    EXPECT_TRUE(sighting.findsPointer(640, 360, 116));
    EXPECT_FALSE(sighting.findsPointer(5, 5, 132)); // a hand right after it
    EXPECT_FALSE(sighting.findsPointer(5, 5, 148));
}

TEST(PointerSighting, AWindowIsNewForTwentyFramesOrHalfASecondWhicheverLastsLonger)
{
    EXPECT_TRUE(firstMotionIsSighting(30, 1000.0 / 60));
    EXPECT_FALSE(firstMotionIsSighting(33, 1000.0 / 60));
    EXPECT_TRUE(firstMotionIsSighting(400, 1.0)); // frames as fast as the GL goes
    EXPECT_FALSE(firstMotionIsSighting(600, 1.0));
    EXPECT_TRUE(firstMotionIsSighting(20, 100.0)); // slow frames: two seconds
    EXPECT_FALSE(firstMotionIsSighting(22, 100.0));
    // The tick counter wrapping while the window is new.
    EXPECT_TRUE(firstMotionIsSighting(300, 1.0, 0xFFFFFF00u));
    EXPECT_FALSE(firstMotionIsSighting(600, 1.0, 0xFFFFFF00u));
}

SDL_Event keyEvent(Uint8 type, SDLKey key)
{
    SDL_Event event{};
    event.type = type;
    event.key.type = type;
    event.key.keysym.sym = key;
    return event;
}

TEST(EventExit, EscapeAndQuitEndAnythingElseIsIgnored)
{
    EXPECT_TRUE(handleEventEndsRun(keyEvent(SDL_KEYDOWN, SDLK_ESCAPE)));
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_TRUE(handleEventEndsRun(quit));

    EXPECT_FALSE(handleEventEndsRun(keyEvent(SDL_KEYUP, SDLK_ESCAPE)));
    EXPECT_FALSE(handleEventEndsRun(keyEvent(SDL_KEYDOWN, SDLK_SPACE)));
    EXPECT_FALSE(handleEventEndsRun(keyEvent(SDL_KEYDOWN, SDLK_q)));
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.xrel = 50;
    EXPECT_FALSE(handleEventEndsRun(motion)); // motion counts only through the relative state
}

SDL_Event buttonEvent(Uint8 type, Uint8 button)
{
    SDL_Event event{};
    event.type = type;
    event.button.type = type;
    event.button.button = button;
    return event;
}

TEST(EventExit, APressOfLeftMiddleOrRightEndsAUsersRunNotTheWheelNorARelease)
{
    for (Uint8 button : {SDL_BUTTON_LEFT, SDL_BUTTON_MIDDLE, SDL_BUTTON_RIGHT})
    {
        EXPECT_TRUE(handleEventEndsRun(buttonEvent(SDL_MOUSEBUTTONDOWN, button)));
        EXPECT_FALSE(handleEventEndsRun(buttonEvent(SDL_MOUSEBUTTONUP, button)));
        EXPECT_FALSE(
            handleEventEndsRun(buttonEvent(SDL_MOUSEBUTTONDOWN, button), RunOwner::HostDaemon));
    }
    for (Uint8 wheel : {SDL_BUTTON_WHEELUP, SDL_BUTTON_WHEELDOWN})
        EXPECT_FALSE(handleEventEndsRun(buttonEvent(SDL_MOUSEBUTTONDOWN, wheel)));
}

TEST(FrameTime, FirstFrameCountsFromZeroAndLaterOnesFromThePrevious)
{
    FrameClock clock;
    EXPECT_FLOAT_EQ(clock.secondsSinceLastFrame(1500), 1.5f);
    EXPECT_FLOAT_EQ(clock.secondsSinceLastFrame(1516), 0.016f);
    EXPECT_FLOAT_EQ(clock.secondsSinceLastFrame(1516), 0.0f);
    EXPECT_FLOAT_EQ(clock.secondsSinceLastFrame(601516), 600.0f); // never capped
}

TEST(FrameTime, SurvivesTheTickCounterWrapping)
{
    FrameClock clock;
    clock.secondsSinceLastFrame(0xFFFFFFF0u);
    EXPECT_FLOAT_EQ(clock.secondsSinceLastFrame(0x10u), 0.032f);
}

} // namespace
