// One run per Wayland output, against a stand-in compositor that only announces outputs. The
// runs are forks of this test: each does what the test tells it and exits, never going back to
// the test framework.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-server.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
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
    if (platform::startRunPerOutput() == platform::ProcessRole::WatchesRuns)
        return platform::watchRunsUntilAllEnd();
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

// A run's state letter in /proc ('T' when stopped); '?' once there is no such process.
char processState(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t nameEnd = line.rfind(')');
    return nameEnd == std::string::npos || nameEnd + 2 >= line.size() ? '?' : line[nameEnd + 2];
}

bool stoppedWithin(pid_t pid, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (processState(pid) != 'T' && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return processState(pid) == 'T';
}

// Reaped here (the test adopts orphans) or by the watcher.
bool goneWithin(pid_t pid, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;)
    {
        waitpid(pid, nullptr, WNOHANG);
        if (kill(pid, 0) != 0 && errno == ESRCH)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// The next pid written on the pipe; -1 when none comes within five seconds.
pid_t readPid(int pipe)
{
    pollfd readable{pipe, POLLIN, 0};
    pid_t pid = -1;
    if (poll(&readable, 1, 5000) != 1 || read(pipe, &pid, sizeof pid) != sizeof pid)
        return -1;
    return pid;
}

void writePid(int pipe)
{
    const pid_t pid = getpid();
    if (write(pipe, &pid, sizeof pid) != sizeof pid)
        _exit(1);
}

// Run 1 does not end when asked: it ignores SIGTERM, and may be stopped too (SIGSTOP, as a
// debugger or a job control shell leaves it). Then run 0 ends by itself, or the watcher is
// killed: either way run 1 must go within about a second, and no run may outlive the watcher.
TEST_F(RunPerOutput, ARunThatDoesNotEndWhenAskedNeitherLingersNorOutlivesTheWatcher)
{
    struct Edge
    {
        const char* name;
        bool stopped;
        bool watcherKilled;
    };
    const Edge edges[] = {
        {"run 1 ignores SIGTERM, run 0 ends", false, false},
        {"run 1 is stopped, run 0 ends", true, false},
        {"run 1 ignores SIGTERM, the watcher is killed", false, true},
        {"run 1 is stopped, the watcher is killed", true, true},
    };
    // The runs of a killed watcher come to this process, which can then see them end. qemu-user
    // does not pass the request on.
    const bool subreaper = prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
    if (!subreaper && errno == EINVAL)
        GTEST_SKIP() << "this system cannot make the test a subreaper for the runs it watches";
    ASSERT_TRUE(subreaper);
    StandInCompositor compositor(2);
    for (const Edge& edge : edges)
    {
        SCOPED_TRACE(edge.name);
        int ready[2];    // each run's pid, run 1's first: the test's
        int stubborn[2]; // run 1's pid, for run 0
        ASSERT_EQ(0, pipe(ready));
        ASSERT_EQ(0, pipe(stubborn));
        const pid_t watcher = fork();
        ASSERT_NE(-1, watcher);
        if (watcher == 0)
            _exit(superviseRuns(
                [&](int index)
                {
                    if (index == 1)
                    {
                        signal(SIGTERM, SIG_IGN);
                        writePid(stubborn[1]);
                        writePid(ready[1]);
                        if (edge.stopped)
                            raise(SIGSTOP);
                        return waitForTheEnd();
                    }
                    const pid_t other = readPid(stubborn[0]);
                    if (edge.stopped && !stoppedWithin(other, std::chrono::seconds(5)))
                        return 1;
                    writePid(ready[1]);
                    return edge.watcherKilled ? waitForTheEnd() : 3;
                }));
        const pid_t run1 = readPid(ready[0]);
        const pid_t run0 = readPid(ready[0]);
        ASSERT_NE(-1, run1);
        ASSERT_NE(-1, run0);
        const auto endSeen = std::chrono::steady_clock::now();
        if (edge.watcherKilled)
            kill(watcher, SIGKILL);
        int status = 0;
        ASSERT_EQ(watcher, waitpid(watcher, &status, 0));
        const auto watched = std::chrono::steady_clock::now() - endSeen;
        if (!edge.watcherKilled)
        {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
            EXPECT_LT(watched, std::chrono::milliseconds(2500)) << "run 1 was let linger";
        }
        EXPECT_TRUE(goneWithin(run1, std::chrono::seconds(2))) << "run 1 outlived the watcher";
        EXPECT_TRUE(goneWithin(run0, std::chrono::seconds(2))) << "run 0 outlived the watcher";
        kill(run1, SIGKILL); // should the above have failed
        kill(run0, SIGKILL);
        for (int end : {ready[0], ready[1], stubborn[0], stubborn[1]})
            close(end);
    }
}

TEST(NativeVideoDriver, WaylandFirstInAWaylandSessionUnlessTheUserChose)
{
    // No compositor answers there: the program draws on its own, with the driver chosen.
    unsetenv("SDL_VIDEODRIVER");
    setenv("WAYLAND_DISPLAY", "wayland-9", 1);
    EXPECT_EQ(platform::ProcessRole::Draws, platform::startRunPerOutput());
    EXPECT_STREQ("wayland,x11", std::getenv("SDL_VIDEODRIVER"));

    setenv("SDL_VIDEODRIVER", "x11", 1);
    platform::startRunPerOutput();
    EXPECT_STREQ("x11", std::getenv("SDL_VIDEODRIVER"));

    unsetenv("SDL_VIDEODRIVER");
    unsetenv("WAYLAND_DISPLAY");
    platform::startRunPerOutput();
    EXPECT_EQ(nullptr, std::getenv("SDL_VIDEODRIVER"));
}

} // namespace
