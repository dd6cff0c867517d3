// Wayland sessions on Linux: SDL's own Wayland driver rather than the X server a session may
// also offer (Xwayland), and one run per output, since a Wayland full-screen window covers
// one output only and the compositor places it there, not the program; each run at its
// output's own resolution, without decorations, finding the pointer only once it is over the
// window and leaving it free.
#include "platform/Platform.h"

#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace
{

const char* const kVideoDriverVariable = "SDL_VIDEODRIVER";
// Wayland first; X11 (Xwayland) should the compositor not let SDL in.
const char* const kNativeDrivers = "wayland,x11";
// The SDL 1.2 API on SDL2 puts its full-screen window on the display with this index, from 0 in
// the order the compositor announces its outputs.
const char* const kFullScreenDisplayVariable = "SDL_VIDEO_FULLSCREEN_DISPLAY";
const char* const kFullScreenHeadVariable = "SDL_VIDEO_FULLSCREEN_HEAD";

// SDL2's Wayland driver decorates windows with libdecor where the compositor does not.
const char* const kDecorationLibraryVariable = "SDL_VIDEO_WAYLAND_ALLOW_LIBDECOR";

// The SDL 1.2 API on SDL2 asks for buffers at the output's resolution only when this is 1.
const char* const kOutputResolutionVariable = "SDL12COMPAT_HIGHDPI";

// The SDL 1.2 API on SDL2 renders OpenGL modes off screen and scales them unless told not to.
const char* const kOpenGlScalingVariable = "SDL12COMPAT_OPENGL_SCALING";

// Where the SDL 1.2 API on SDL2 is the implementation, it hands out the SDL2 window behind the
// video surface, and SDL2, which it loaded, tells how large that window's GL buffers are and
// whether the window holds the pointer.
const char* const kCompatWindowFunction = "SDL12COMPAT_GetWindow";
const char* const kSdl2Library = "libSDL2-2.0.so.0";
const char* const kDrawableSizeFunction = "SDL_GL_GetDrawableSize";
const char* const kWindowGrabFunction = "SDL_SetWindowGrab";
const char* const kRelativeMouseModeFunction = "SDL_SetRelativeMouseMode";
using CompatWindowFunction = void* (*)();
using DrawableSizeFunction = void (*)(void* window, int* width, int* height);
using WindowGrabFunction = void (*)(void* window, int grabbed);
using RelativeMouseModeFunction = int (*)(int enabled);

const int kSetupFailureStatus = 255;  // what main's -1 becomes
const int kSignalledStatusBase = 128; // a run killed by signal N ends the program with 128 + N
// A run asked to end that has not ended by then is killed: a screensaver must not linger.
const int kEndingGraceMilliseconds = 10000;
// What a run writes to standard error is held until it ends; beyond this it is dropped.
const std::size_t kMaxHeldReport = 64 * 1024;

const std::size_t kEndingSignalCount = 3;
const int kEndingSignals[kEndingSignalCount] = {SIGTERM, SIGINT, SIGHUP};

volatile sig_atomic_t endRequested = 0;

void noteEndRequest(int)
{
    endRequested = 1;
}

// A run's end needs no note: the signal only cuts the wait short, and every run is looked at.
void wakeUp(int) {}

bool isSet(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

void countOutput(void* data, wl_registry*, uint32_t, const char* interface, uint32_t)
{
    if (std::strcmp(interface, "wl_output") == 0)
        ++*static_cast<int*>(data);
}

void ignoreRemoval(void*, wl_registry*, uint32_t) {}

// The outputs the compositor announces now; 0 when it cannot be reached (SDL will say so).
int countOutputs()
{
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        return 0;
    int outputs = 0;
    static const wl_registry_listener listener = {countOutput, ignoreRemoval};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &outputs);
    if (wl_display_roundtrip(display) < 0)
        outputs = 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return outputs;
}

// The compositor, watched through a connection of our own that asks it for nothing, so that
// nothing comes on it but its end. SDL takes the loss of its own connection for a request to
// quit, and the run would end with status 0 as if the user had come back.
wl_display* compositor = nullptr;
std::atomic_flag lossReported = ATOMIC_FLAG_INIT;

// Ends the process without a word to the compositor: it is gone, and so is anything SDL could
// tear down there. Said once, whether the watch or the exit check gets here first.
[[noreturn]] void endOnLostCompositor()
{
    if (!lossReported.test_and_set())
        std::fputs("vornelle: lost the connection to the Wayland compositor\n", stderr);
    std::_Exit(1);
}

// On a thread of its own, for the rest of the run: dispatching fails only once the connection
// is broken.
void watchCompositor()
{
    while (wl_display_dispatch(compositor) >= 0)
    {
    }
    endOnLostCompositor();
}

bool compositorHungUp()
{
    pollfd connection{wl_display_get_fd(compositor), POLLIN, 0};
    const int noWait = 0;
    return poll(&connection, 1, noWait) > 0;
}

// At exit, after SDL's shutdown: a run that ended because SDL found the compositor gone before
// the watch did still ends as a lost connection.
void endIfCompositorLost()
{
    if (compositorHungUp())
        endOnLostCompositor();
}

// The watch must not take the signals meant for the program (SDL's handlers among them).
void startWatchWithSignalsBlocked()
{
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::thread(watchCompositor).detach();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// One drawing process, as the supervisor sees it.
struct Run
{
    pid_t pid = -1;
    int reportPipe = -1; // its standard error, read here; -1 once read to the end
    std::string report;  // what it wrote there so far
    bool ended = false;
    int status = 0; // once ended, as an exit status
    bool askedToEnd = false;
};

int exitStatus(int waitStatus, bool askedToEnd)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    // Killed while set up or torn down on our asking: a normal end all the same.
    if (askedToEnd)
        return 0;
    return kSignalledStatusBase + WTERMSIG(waitStatus);
}

void writeAll(int descriptor, const std::string& text)
{
    std::size_t written = 0;
    while (written < text.size())
    {
        const ssize_t count = write(descriptor, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
        written += static_cast<std::size_t>(count);
    }
}

// Reads what the run has written, without waiting; closes the pipe at its end.
void readReport(Run& run)
{
    char buffer[4096];
    while (run.reportPipe >= 0)
    {
        const ssize_t count = read(run.reportPipe, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return; // nothing more for now
        if (count == 0)
        {
            close(run.reportPipe);
            run.reportPipe = -1;
            return;
        }
        const std::size_t room = kMaxHeldReport - std::min(run.report.size(), kMaxHeldReport);
        run.report.append(buffer, std::min(room, static_cast<std::size_t>(count)));
    }
}

// Signal dispositions and mask as they were before supervising began.
struct SignalState
{
    sigset_t mask;
    sigset_t whileWaiting; // the mask with every signal above let through
    struct sigaction actions[kEndingSignalCount];
    struct sigaction childAction;
};

// A signal the program was started ignoring (nohup, say) stays ignored, here and in the runs.
void handle(int signal, void (*handler)(int), struct sigaction* previous)
{
    sigaction(signal, nullptr, previous);
    if (previous->sa_handler == SIG_IGN && signal != SIGCHLD)
        return;
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// Until restored, the ending signals and children's ends are noted, and only while waiting.
SignalState catchSignals()
{
    SignalState state{};
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGCHLD);
    for (int signal : kEndingSignals)
        sigaddset(&blocked, signal);
    sigprocmask(SIG_BLOCK, &blocked, &state.mask);
    state.whileWaiting = state.mask;
    sigdelset(&state.whileWaiting, SIGCHLD);
    for (int signal : kEndingSignals)
        sigdelset(&state.whileWaiting, signal);
    endRequested = 0;
    for (std::size_t i = 0; i < kEndingSignalCount; ++i)
        handle(kEndingSignals[i], noteEndRequest, &state.actions[i]);
    handle(SIGCHLD, wakeUp, &state.childAction);
    return state;
}

void restoreSignals(const SignalState& state)
{
    for (std::size_t i = 0; i < kEndingSignalCount; ++i)
        sigaction(kEndingSignals[i], &state.actions[i], nullptr);
    sigaction(SIGCHLD, &state.childAction, nullptr);
    sigprocmask(SIG_SETMASK, &state.mask, nullptr);
}

// In the new process: it draws on output `index`, ends when the supervisor goes, and writes its
// standard error to the supervisor.
void becomeRun(int index, int reportPipe, pid_t supervisor, const std::vector<Run>& siblings,
               const SignalState& signals)
{
    restoreSignals(signals);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The supervisor may have gone before the line above: nothing would tell us.
    if (getppid() != supervisor)
        _exit(0);
    dup2(reportPipe, STDERR_FILENO);
    close(reportPipe);
    for (const Run& sibling : siblings)
        close(sibling.reportPipe);
    const bool replace = true;
    setenv(kFullScreenDisplayVariable, std::to_string(index).c_str(), replace);
}

// Starts a run for each output; in each run it returns true. In this process it returns false,
// with the runs it could start (none when not even the first could be).
bool startRuns(int outputs, std::vector<Run>& runs, const SignalState& signals)
{
    const pid_t supervisor = getpid();
    std::fflush(nullptr); // or what waits in a buffer is written by every run again
    for (int index = 0; index < outputs; ++index)
    {
        int ends[2];
        if (pipe(ends) != 0)
            return false;
        const pid_t pid = fork();
        if (pid == 0)
        {
            close(ends[0]);
            becomeRun(index, ends[1], supervisor, runs, signals);
            return true;
        }
        close(ends[1]);
        if (pid < 0)
        {
            close(ends[0]);
            return false;
        }
        fcntl(ends[0], F_SETFL, O_NONBLOCK);
        Run run;
        run.pid = pid;
        run.reportPipe = ends[0];
        runs.push_back(run);
    }
    return false;
}

void askToEnd(std::vector<Run>& runs, int signal)
{
    for (Run& run : runs)
        if (!run.ended)
        {
            kill(run.pid, signal);
            run.askedToEnd = true;
        }
}

bool allEnded(const std::vector<Run>& runs)
{
    for (const Run& run : runs)
        if (!run.ended || run.reportPipe >= 0)
            return false;
    return true;
}

long long millisecondsNow()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Waits for output from the runs or a signal, at most until the deadline (-1: none).
void waitForNews(std::vector<Run>& runs, const sigset_t& unblocked, long long deadline)
{
    std::vector<pollfd> pipes;
    for (const Run& run : runs)
        if (run.reportPipe >= 0)
            pipes.push_back(pollfd{run.reportPipe, POLLIN, 0});
    timespec timeout{};
    timespec* limit = nullptr;
    if (deadline >= 0)
    {
        const long long left = std::max(0LL, deadline - millisecondsNow());
        timeout.tv_sec = static_cast<time_t>(left / 1000);
        timeout.tv_nsec = static_cast<long>(left % 1000) * 1000000L;
        limit = &timeout;
    }
    ppoll(pipes.data(), pipes.size(), limit, &unblocked);
    for (Run& run : runs)
        readReport(run);
}

// The program's status is the first run's to end. Its report is passed on; a later run's too,
// unless it may be one more report of a failure to set up.
class Supervision
{
public:
    explicit Supervision(std::vector<Run>& runs) : runs(runs) {}

    // Returns the program's status once every run has ended.
    int superviseUntilAllEnd(const sigset_t& unblocked)
    {
        long long deadline = -1;
        while (!allEnded(runs))
        {
            if (endRequested && deadline < 0)
                deadline = endAll();
            if (deadline >= 0 && millisecondsNow() >= deadline)
            {
                askToEnd(runs, SIGKILL);
                deadline = millisecondsNow() + kEndingGraceMilliseconds;
            }
            waitForNews(runs, unblocked, deadline);
            collectEnds();
            if (decided && deadline < 0)
                deadline = endAll();
        }
        return status;
    }

private:
    std::vector<Run>& runs;
    bool decided = false;
    int status = 0;
    std::string firstReport; // what the first run to end wrote

    long long endAll()
    {
        askToEnd(runs, SIGTERM);
        return millisecondsNow() + kEndingGraceMilliseconds;
    }

    void collectEnds()
    {
        for (Run& run : runs)
        {
            int waitStatus = 0;
            if (run.ended || waitpid(run.pid, &waitStatus, WNOHANG) != run.pid)
                continue;
            run.ended = true;
            run.status = exitStatus(waitStatus, run.askedToEnd);
            // All it wrote is in the pipe now. A process it started may still hold the pipe
            // open; that one's words are not waited for.
            readReport(run);
            if (run.reportPipe >= 0)
                close(run.reportPipe);
            run.reportPipe = -1;
            passOnReport(run);
            if (!decided)
                status = run.status;
            decided = true;
        }
    }

    // Once a failure to set up is reported, the runs still setting up may report theirs too,
    // or be ended after writing it: that is said once. So is the loss of the compositor, which
    // every run finds and reports in the same words.
    void passOnReport(const Run& run)
    {
        const bool failureAgain =
            decided && (status == kSetupFailureStatus || run.status == kSetupFailureStatus);
        const bool saidAlready = decided && run.report == firstReport;
        if (!failureAgain && !saidAlready)
            writeAll(STDERR_FILENO, run.report);
        if (!decided)
            firstReport = run.report;
    }
};

// Once SDL has started: whether it took its Wayland driver.
bool drawingThroughWayland()
{
    char name[64] = "";
    return SDL_VideoDriverName(name, sizeof name) != nullptr && std::strcmp(name, "wayland") == 0;
}

// Unless told not to, the SDL 1.2 API on SDL2 has the program draw into a buffer of the video
// surface's size, and scales that to the window itself.
bool openGlScaledBySdl()
{
    const char* scaling = std::getenv(kOpenGlScalingVariable);
    return scaling != nullptr && std::strcmp(scaling, "0") != 0;
}

// Null under classic SDL 1.2.
struct Sdl2Window
{
    CompatWindowFunction window = nullptr;
    DrawableSizeFunction drawableSize = nullptr;
    WindowGrabFunction setGrab = nullptr;
    RelativeMouseModeFunction setRelativeMouseMode = nullptr;
};

// Looked up once. SDL2 is only looked for where it is loaded already; the handle is never
// closed, as the library stays loaded for the whole run anyway.
const Sdl2Window& sdl2Window()
{
    static const Sdl2Window calls = []
    {
        Sdl2Window found;
        void* compatWindow = dlsym(RTLD_DEFAULT, kCompatWindowFunction);
        void* sdl2 = dlopen(kSdl2Library, RTLD_LAZY | RTLD_NOLOAD);
        if (compatWindow == nullptr || sdl2 == nullptr)
            return found;
        void* drawableSize = dlsym(sdl2, kDrawableSizeFunction);
        void* setGrab = dlsym(sdl2, kWindowGrabFunction);
        void* setRelativeMouseMode = dlsym(sdl2, kRelativeMouseModeFunction);
        if (drawableSize != nullptr && setGrab != nullptr && setRelativeMouseMode != nullptr)
        {
            found.window = reinterpret_cast<CompatWindowFunction>(compatWindow);
            found.drawableSize = reinterpret_cast<DrawableSizeFunction>(drawableSize);
            found.setGrab = reinterpret_cast<WindowGrabFunction>(setGrab);
            found.setRelativeMouseMode =
                reinterpret_cast<RelativeMouseModeFunction>(setRelativeMouseMode);
        }
        return found;
    }();
    return calls;
}

// The SDL2 window behind the video surface where SDL draws through its Wayland driver on SDL2;
// null elsewhere, and before the video mode is set.
void* sdl2WaylandWindow()
{
    const Sdl2Window& sdl2 = sdl2Window();
    return drawingThroughWayland() && sdl2.window != nullptr ? sdl2.window() : nullptr;
}

} // namespace

namespace platform
{

// In PlatformLinux.cpp.
void setUnlessUserSet(const char* variable, const char* value);
bool sdlTriesFirst(const char* driver);

void preferNativeVideoDriver()
{
    if (!isSet("WAYLAND_DISPLAY") || isSet(kVideoDriverVariable))
        return;
    const bool replace = true;
    setenv(kVideoDriverVariable, kNativeDrivers, replace);
}

void endProcessWhenCompositorLost()
{
    if (compositor != nullptr || !isSet("WAYLAND_DISPLAY") || !sdlTriesFirst("wayland"))
        return;
    compositor = wl_display_connect(nullptr);
    if (compositor == nullptr)
        return; // SDL will not reach it either, and will say so
    std::atexit(endIfCompositorLost);
    startWatchWithSignalsBlocked();
}

bool superviseRunPerOutput(int& status)
{
    const bool userChoseOutput =
        isSet(kFullScreenDisplayVariable) || isSet(kFullScreenHeadVariable);
    if (!isSet("WAYLAND_DISPLAY") || !sdlTriesFirst("wayland") || userChoseOutput)
        return false;
    const int outputs = countOutputs();
    if (outputs < 2)
        return false;

    const SignalState signals = catchSignals();
    std::vector<Run> runs;
    if (startRuns(outputs, runs, signals))
        return false; // this is one of the runs
    if (runs.empty())
    {
        restoreSignals(signals);
        return false; // none could be started: this process draws on one output
    }
    status = Supervision(runs).superviseUntilAllEnd(signals.whileWaiting);
    restoreSignals(signals);
    return true;
}

// SDL reads these settings from the environment; the user's own word wins.
void leaveFullScreenWindowUndecorated()
{
    setUnlessUserSet(kDecorationLibraryVariable, "0");
}

void drawAtOutputResolution()
{
    if (isSet("WAYLAND_DISPLAY"))
        setUnlessUserSet(kOutputResolutionVariable, "1");
}

PixelSize drawableSize()
{
    const SDL_Surface* surface = SDL_GetVideoSurface();
    const PixelSize ofSurface{surface != nullptr ? surface->w : 0,
                              surface != nullptr ? surface->h : 0};
    void* window = openGlScaledBySdl() ? nullptr : sdl2WaylandWindow();
    if (window == nullptr)
        return ofSurface;
    PixelSize size{0, 0};
    sdl2Window().drawableSize(window, &size.width, &size.height);
    return size.width > 0 && size.height > 0 ? size : ofSurface;
}

// A Wayland compositor tells a client nothing of the pointer until it enters one of its
// surfaces, which a compositor does when it first shows the surface under the pointer; X tells
// SDL where it is from the start.
bool pointerFirstSeenAsMotion()
{
    return drawingThroughWayland();
}

// The SDL 1.2 API takes the pointer for a full-screen window: it confines it to the window and,
// with the cursor hidden, locks it in place. mutter 43 crashed on that in most starts, and in
// the others a locked pointer's first motion reached no run. Let go before the compositor acts
// on either request (it does once the window is shown under the pointer), the pointer's motion
// goes to the run under it, whichever output that is. The grab goes first: letting go of the
// lock while the grab stands would have SDL confine the pointer instead.
void leavePointerFree()
{
    void* window = sdl2WaylandWindow();
    if (window == nullptr)
        return;
    sdl2Window().setGrab(window, 0);
    sdl2Window().setRelativeMouseMode(0);
}

} // namespace platform
