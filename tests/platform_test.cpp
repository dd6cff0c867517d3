// What every platform shares: monitors in desktop coordinates seen from a full-screen window.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "platform/Common.h"

// Found by argument-dependent lookup, as GoogleTest wants them.
namespace platform
{

bool operator==(const PixelRect& a, const PixelRect& b)
{
    return common::sameRect(a, b);
}

void PrintTo(const PixelRect& r, std::ostream* out)
{
    *out << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
}

} // namespace platform

namespace
{

using platform::PixelRect;

TEST(MonitorsOnWindow, MovedToTheWindowsCornerKeptWholeAndOneWhereNoneShowsIt)
{
    struct Case
    {
        const char* name;
        std::vector<PixelRect> desktop;
        PixelRect window;
        std::vector<PixelRect> onWindow;
    };
    const Case cases[] = {
        {"monitors left of and above the primary one",
         {{-1280, -200, 1280, 1024}, {0, 0, 1920, 1080}},
         {-1280, -200, 3200, 1280},
         {{0, 0, 1280, 1024}, {1280, 200, 1920, 1080}}},
        {"one partly off the window, kept whole; one beside it, left out",
         {{512, 0, 1024, 768}, {1024, 0, 800, 600}},
         {0, 0, 1024, 768},
         {{512, 0, 1024, 768}}},
        {"a window away from the desktop's corner",
         {{0, 0, 800, 600}},
         {100, 50, 640, 480},
         {{-100, -50, 800, 600}}},
        {"none named", {}, {100, 50, 640, 480}, {{0, 0, 640, 480}}},
        {"none showing the window", {{2000, 0, 800, 600}}, {0, 0, 640, 480}, {{0, 0, 640, 480}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::common::monitorsOnWindow(c.desktop, c.window), c.onWindow) << c.name;
}

} // namespace
