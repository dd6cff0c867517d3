// Naming a daemon's window: which id wins, which texts are ids, and who ends the run there.
#include <gtest/gtest.h>

#include <SDL.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "app/Arguments.h"
#include "app/FrameLoop.h"

namespace
{

// argv as main receives it, kept alive for the test.
class CommandLine
{
public:
    CommandLine(std::initializer_list<const char*> arguments)
    {
        for (const char* argument : arguments)
            pointers.push_back(const_cast<char*>(argument));
        pointers.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(pointers.size()) - 1; }
    char** argv() { return pointers.data(); }

private:
    std::vector<char*> pointers;
};

std::string textOf(const WindowIdText& named)
{
    return named.text == nullptr ? "(none)" : std::string(named.source) + "=" + named.text;
}

std::string named(std::initializer_list<const char*> arguments, const char* environment)
{
    CommandLine line(arguments);
    return textOf(namedHostWindow(line.argc(), line.argv(), environment));
}

SDL_Event keyDown(SDLKey key)
{
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    return event;
}

} // namespace

TEST(HostWindowName, ArgumentWinsOverEnvironmentAndLastArgumentWins)
{
    EXPECT_EQ(named({"vornelle", "/s"}, nullptr), "(none)");
    EXPECT_EQ(named({"vornelle", "/s"}, ""), "(none)");
    EXPECT_EQ(named({"vornelle", "/s"}, "0x2a00007"), "XSCREENSAVER_WINDOW=0x2a00007");
    EXPECT_EQ(named({"vornelle", "/s", "--window-id", "0x11"}, "banana"), "--window-id=0x11");
    EXPECT_EQ(named({"vornelle", "/s", "--window-id", "1", "--window-id", "2"}, nullptr),
              "--window-id=2");
    // A daemon's own option appended after the hack's arguments is the one that counts.
    EXPECT_EQ(named({"vornelle", "/s", "--fps", "--window-id", "0x5"}, nullptr), "--window-id=0x5");
}

TEST(HostWindowName, OptionWithoutValueIsNamedButEmpty)
{
    EXPECT_EQ(named({"vornelle", "/s", "--window-id"}, "0x2a00007"), "--window-id=");
    EXPECT_EQ(named({"vornelle", "/s", "--window-id", "0x1", "--window-id"}, nullptr),
              "--window-id=");
}

TEST(HostWindowName, OnlyArgumentsAfterTheRunArgumentCount)
{
    EXPECT_EQ(named({"--window-id", "/s"}, nullptr), "(none)");
    EXPECT_EQ(named({"vornelle", "/s", "--window-id=0x5"}, nullptr), "(none)");
}

TEST(WindowId, AcceptsHexAndDecimalWithinThirtyTwoBits)
{
    const struct
    {
        const char* text;
        unsigned long id;
    } accepted[] = {
        {"0x2a00007", 0x2a00007},
        {"0X2A00007", 0x2a00007},
        {"0xaBc", 0xabc},
        {"44040199", 44040199},
        {"007", 7},
        {"0xffffffff", 0xffffffffUL},
        {"4294967295", 4294967295UL},
    };
    for (const auto& sample : accepted)
    {
        unsigned long id = 0;
        EXPECT_TRUE(parseWindowId(sample.text, id)) << sample.text;
        EXPECT_EQ(id, sample.id) << sample.text;
    }
}

TEST(WindowId, RejectsAnythingElseAndLeavesTheIdAlone)
{
    for (const char* text : {"", "banana", "0x", "0", "0x0", "-1", "+5", " 0x1", "0x1 ", "0x1g",
                             "12a", "0x100000000", "4294967296", "99999999999999999999999"})
    {
        unsigned long id = 42;
        EXPECT_FALSE(parseWindowId(text, id)) << '"' << text << '"';
        EXPECT_EQ(id, 42u) << '"' << text << '"';
    }
}

TEST(RunOwner, InADaemonsWindowKeysDoNotEndTheRunButTheQuitRequestDoes)
{
    EXPECT_FALSE(handleEventEndsRun(keyDown(SDLK_ESCAPE), RunOwner::HostDaemon));
    EXPECT_FALSE(handleEventEndsRun(keyDown(SDLK_q), RunOwner::HostDaemon));
    EXPECT_TRUE(handleEventEndsRun(keyDown(SDLK_ESCAPE), RunOwner::User));

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_TRUE(handleEventEndsRun(quit, RunOwner::HostDaemon));
}
