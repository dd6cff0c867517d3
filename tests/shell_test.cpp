#include <gtest/gtest.h>

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
    EXPECT_TRUE(eventEndsRun(keyEvent(SDL_KEYDOWN, SDLK_ESCAPE)));
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_TRUE(eventEndsRun(quit));

    EXPECT_FALSE(eventEndsRun(keyEvent(SDL_KEYUP, SDLK_ESCAPE)));
    EXPECT_FALSE(eventEndsRun(keyEvent(SDL_KEYDOWN, SDLK_SPACE)));
    EXPECT_FALSE(eventEndsRun(keyEvent(SDL_KEYDOWN, SDLK_q)));
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.xrel = 50;
    EXPECT_FALSE(eventEndsRun(motion)); // motion counts only through the relative state
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
