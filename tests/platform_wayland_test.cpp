// One run per Wayland output, against a stand-in compositor that only announces outputs. The
// runs are forks of this test: each does what the test tells it and exits, never going back to
// the test framework.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-server.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/Platform.h"

namespace
{

void bindNothing(wl_client*, void*, uint32_t, uint32_t) {}

// A Wayland display with this many outputs, served on a thread of its own, named in
// WAYLAND_DISPLAY for as long as it lives. Clients may connect before it serves: they wait.
class StandInCompositor
{
public:
    enum class Serving
    {
        AtOnce,
        Later, // after the test has forked what it must fork with no other thread running
    };

    explicit StandInCompositor(int outputs, Serving serving = Serving::AtOnce)
    {
        const int version = 1;
        for (int i = 0; i < outputs; ++i)
            wl_global_create(display, &wl_output_interface, version, nullptr, bindNothing);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("WAYLAND_DISPLAY", wl_display_add_socket_auto(display), 1);
        if (serving == Serving::AtOnce)
            startServing();
    }

    void startServing()
    {
        server = std::thread([this] { serve(); });
    }

    ~StandInCompositor()
    {
        stop = true;
        if (server.joinable())
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

TEST_F(RunPerOutput, TerminatingTheProgramEndsEveryRunNormally)
{
    StandInCompositor compositor(2);
    const pid_t program = getpid();
    const int status = superviseRuns(
        [program](int index)
        {
            if (index == 1)
                kill(program, SIGTERM);
            return waitForTheEnd();
        });
    EXPECT_EQ(0, status);
}

TEST_F(RunPerOutput, RunsEndWhenTheProgramIsGone)
{
    StandInCompositor compositor(2);
    int ends[2];
    ASSERT_EQ(0, pipe(ends));
    const pid_t program = fork();
    if (program == 0)
    {
        // The program: its runs say they are there, and hold the pipe open while they live.
        close(ends[0]);
        superviseRuns(
            [&ends](int)
            {
                const ssize_t written = write(ends[1], "r", 1);
                return written == 1 ? waitForTheEnd() : 1;
            });
        _exit(0);
    }
    close(ends[1]);
    char said[2] = {};
    ASSERT_EQ(1, read(ends[0], &said[0], 1));
    ASSERT_EQ(1, read(ends[0], &said[1], 1));
    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    pollfd runsGone{ends[0], POLLIN, 0};
    const int minute = 60000;
    ASSERT_EQ(1, poll(&runsGone, 1, minute)) << "the runs outlived the program";
    EXPECT_EQ(0, read(ends[0], said, 1)); // the end of the pipe: no run holds it any more
    close(ends[0]);
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

// Waits up to a minute for the child to end; its wait status, or -1 (and it is killed) if not.
int endOf(pid_t child)
{
    for (int tenths = 0; tenths < 600; ++tenths)
    {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child)
            return status;
        usleep(100000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return -1;
}

TEST_F(RunPerOutput, ARunWhoseCompositorGoesEndsWithStatusOneAndOneReport)
{
    // A child forked while another thread may hold a lock it needs (the allocator's, under a
    // sanitizer) can wait on that lock for ever: the compositor serves only once it is forked.
    auto compositor = std::make_unique<StandInCompositor>(1, StandInCompositor::Serving::Later);
    int ready[2];
    int report[2];
    ASSERT_EQ(0, pipe(ready));
    ASSERT_EQ(0, pipe(report));
    const pid_t run = fork();
    if (run == 0)
    {
        dup2(report[1], STDERR_FILENO);
        // A copy of the compositor's listening socket here would keep it open after the
        // compositor closes it, with this run's connection still waiting to be accepted.
        const int enoughDescriptors = 1024;
        for (int descriptor = STDERR_FILENO + 1; descriptor < enoughDescriptors; ++descriptor)
            if (descriptor != ready[1])
                close(descriptor);
        platform::endProcessWhenDisplayLost();
        const bool told = write(ready[1], "r", 1) == 1;
        _exit(told ? waitForTheEnd() : 2);
    }
    compositor->startServing();
    close(ready[1]);
    close(report[1]);
    char said = 0;
    ASSERT_EQ(1, read(ready[0], &said, 1));
    compositor.reset();

    const int status = endOf(run);
    ASSERT_TRUE(WIFEXITED(status)) << "wait status " << status;
    EXPECT_EQ(1, WEXITSTATUS(status));
    char text[256] = {};
    const ssize_t length = read(report[0], text, sizeof text - 1);
    EXPECT_EQ("vornelle: lost the connection to the Wayland compositor\n",
              std::string(text, length > 0 ? length : 0));
    close(ready[0]);
    close(report[0]);
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
