// One run per Wayland output, against a stand-in compositor that only announces outputs. The
// runs are forks of this test: each does what the test tells it and exits, never going back to
// the test framework.
#include <gtest/gtest.h>
#include <unistd.h>
#include <wayland-server.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "platform/Platform.h"

namespace
{

void bindNothing(wl_client*, void*, uint32_t, uint32_t) {}

// A Wayland display with this many outputs, served on a thread of its own, named in
// WAYLAND_DISPLAY for as long as it lives.
class StandInCompositor
{
public:
    explicit StandInCompositor(int outputs)
    {
        const int version = 1;
        for (int i = 0; i < outputs; ++i)
            wl_global_create(display, &wl_output_interface, version, nullptr, bindNothing);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("WAYLAND_DISPLAY", wl_display_add_socket_auto(display), 1);
        server = std::thread([this] { serve(); });
    }

    ~StandInCompositor()
    {
        stop = true;
        server.join();
        wl_display_destroy_clients(display); // those whose hang-up was not served yet
        wl_display_destroy(display);         // and its socket
        unsetenv("WAYLAND_DISPLAY");
        rmdir(runtime.c_str());
    }

private:
    std::string runtime = makeRuntimeDirectory();
    wl_display* display = wl_display_create();
    std::atomic<bool> stop{false};
    std::thread server;

    static std::string makeRuntimeDirectory()
    {
        char name[] = "/tmp/vornelle-wayland-XXXXXX";
        return mkdtemp(name);
    }

    void serve()
    {
        const int tenthOfASecond = 100;
        while (!stop)
        {
            wl_event_loop_dispatch(wl_display_get_event_loop(display), tenthOfASecond);
            wl_display_flush_clients(display);
        }
    }
};

// Runs as the test's runs: `run` is given the run's output index, and the run exits with what
// it returns. The supervisor's status, or -1 where no runs were started.
int superviseRuns(const std::function<int(int)>& run)
{
    const pid_t program = getpid();
    int status = -1;
    if (platform::superviseRunPerOutput(status))
        return status;
    if (getpid() == program)
        return -1; // no runs: this process would draw itself
    _exit(run(std::atoi(std::getenv("SDL_VIDEO_FULLSCREEN_DISPLAY"))));
}

// What a run does that waits to be ended.
int waitForTheEnd()
{
    for (;;)
        pause();
}

class RunPerOutput : public testing::Test
{
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "wayland", 1);
        unsetenv("SDL_VIDEO_FULLSCREEN_DISPLAY");
        unsetenv("SDL_VIDEO_FULLSCREEN_HEAD");
    }
};

TEST_F(RunPerOutput, EachOutputGetsARunAndTheFirstToEndEndsAllWithItsStatus)
{
    StandInCompositor compositor(3);
    testing::internal::CaptureStderr();
    const int status = superviseRuns(
        [](int index)
        {
            if (index != 2)
                return waitForTheEnd();
            std::fputs("run 2 ends\n", stderr);
            return 7;
        });
    EXPECT_EQ(7, status);
    EXPECT_EQ("run 2 ends\n", testing::internal::GetCapturedStderr());
}

TEST_F(RunPerOutput, ASetupFailureIsReportedOnceWhenEveryRunFails)
{
    StandInCompositor compositor(2);
    // Each run has reported before either ends: run i says so on its own pipe.
    int reported[2][2];
    ASSERT_EQ(0, pipe(reported[0]));
    ASSERT_EQ(0, pipe(reported[1]));
    testing::internal::CaptureStderr();
    const int status = superviseRuns(
        [&reported](int index)
        {
            std::fputs("SDL ERROR:\nUnable to set video mode\n", stderr);
            char said = 'r';
            const bool told = write(reported[index][1], &said, 1) == 1;
            const bool heard = read(reported[1 - index][0], &said, 1) == 1;
            return told && heard ? 255 : 1;
        });
    EXPECT_EQ(255, status);
    EXPECT_EQ("SDL ERROR:\nUnable to set video mode\n", testing::internal::GetCapturedStderr());
    for (auto& ends : reported)
    {
        close(ends[0]);
        close(ends[1]);
    }
}

TEST_F(RunPerOutput, OneOutputOrAnOutputTheUserChoseMeansNoRuns)
{
    {
        StandInCompositor compositor(1);
        EXPECT_EQ(-1, superviseRuns([](int) { return 1; }));
    }
    StandInCompositor compositor(2);
    setenv("SDL_VIDEO_FULLSCREEN_DISPLAY", "1", 1);
    EXPECT_EQ(-1, superviseRuns([](int) { return 1; }));
    unsetenv("SDL_VIDEO_FULLSCREEN_DISPLAY");
    setenv("SDL_VIDEODRIVER", "x11", 1);
    EXPECT_EQ(-1, superviseRuns([](int) { return 1; }));
}

TEST(NativeVideoDriver, WaylandFirstInAWaylandSessionUnlessTheUserChose)
{
    unsetenv("SDL_VIDEODRIVER");
    setenv("WAYLAND_DISPLAY", "wayland-9", 1);
    platform::preferNativeVideoDriver();
    EXPECT_STREQ("wayland,x11", std::getenv("SDL_VIDEODRIVER"));

    setenv("SDL_VIDEODRIVER", "x11", 1);
    platform::preferNativeVideoDriver();
    EXPECT_STREQ("x11", std::getenv("SDL_VIDEODRIVER"));

    unsetenv("SDL_VIDEODRIVER");
    unsetenv("WAYLAND_DISPLAY");
    platform::preferNativeVideoDriver();
    EXPECT_EQ(nullptr, std::getenv("SDL_VIDEODRIVER"));
}

} // namespace
