// The Windows platform on a real desktop (under Wine, the test's private X server): the mode
// the GDI reports and swap control set on the GL context the display set-up made.
#include <gtest/gtest.h>

#include <windows.h>

#include <GL/gl.h>

#include <cstring>

#include "app/Display.h"
#include "platform/Platform.h"

namespace
{

using GetSwapInterval = int(WINAPI*)();

GetSwapInterval swapIntervalReader()
{
    return reinterpret_cast<GetSwapInterval>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglGetSwapIntervalEXT")));
}

} // namespace

TEST(WindowsPlatform, DesktopModeIsTheScreensSize)
{
    const platform::DesktopMode mode = platform::fullScreenMode().mode;
    EXPECT_EQ(mode.width, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(mode.height, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GE(mode.bitsPerPixel, 16);
}

TEST(WindowsPlatform, SwapIntervalIsSetOnTheDisplaysContext)
{
    setupDisplay();
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    ASSERT_NE(extensions, nullptr);
    if (std::strstr(extensions, "WGL_EXT_swap_control") == nullptr)
        GTEST_SKIP() << "this GL offers no swap control";
    const GetSwapInterval swapInterval = swapIntervalReader();
    ASSERT_NE(swapInterval, nullptr);
    EXPECT_EQ(swapInterval(), 1) << "after the display's set-up";

    // WGL's default is already 1: setting another value shows the call really reaches it.
    platform::requestSwapInterval(0);
    platform::afterVideoModeSet();
    EXPECT_EQ(swapInterval(), 0);
    platform::requestSwapInterval(1);
    platform::afterVideoModeSet();
    EXPECT_EQ(swapInterval(), 1);
}
