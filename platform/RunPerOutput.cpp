// One run per Wayland output. A Wayland full-screen window covers one output only, and the
// compositor, not the program, says which; so where there are several outputs this process
// starts a copy of itself per output (fork: the scene made before is each copy's too), each
// shown full screen on its own output, and then only watches them. Its status and its report
// on standard error are those of the runs, told once. Does: count the outputs, start the runs,
// pass on the ending signals, end every run when one ends, kill a run that does not end when
// asked within a second, and see to it that no run outlives this process in any state. Does not:
// draw, talk to the compositor beyond counting, or follow outputs added during a run.
#include "platform/Platform.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/Linux.h"

namespace
{

using platform::linuxshared::isSet;
using platform::linuxshared::millisecondsNow;

// The SDL 1.2 API on SDL2 puts its full-screen window on the display with this index, from 0 in
// the order the compositor announces its outputs.
const char* const kFullScreenDisplayVariable = "SDL_VIDEO_FULLSCREEN_DISPLAY";
const char* const kFullScreenHeadVariable = "SDL_VIDEO_FULLSCREEN_HEAD";

const int kSetupFailureStatus = 255;  // what main's -1 becomes
const int kSignalledStatusBase = 128; // a run killed by signal N ends the program with 128 + N
// A run asked to end that has not ended by then is killed: until it ends, its output stays
// frozen under the user's eyes. Killed while still tearing down, it counts as a normal end.
const int kEndingGraceMilliseconds = 1000;
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
    // SIGKILL, not SIGTERM: a stopped run would hold SIGTERM until continued, its full-screen
    // view up. The signal comes when the thread that forked ends; that is the one thread that
    // watches the runs until every one has ended.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
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

// Between startRunPerOutput and watchRunsUntilAllEnd, in the process that watches.
std::vector<Run> runs;
SignalState signalsBefore{};

} // namespace

namespace platform
{

ProcessRole startRunPerOutput()
{
    linuxshared::preferNativeVideoDriver();
    const bool userChoseOutput =
        isSet(kFullScreenDisplayVariable) || isSet(kFullScreenHeadVariable);
    if (!isSet("WAYLAND_DISPLAY") || !linuxshared::sdlTriesFirst("wayland") || userChoseOutput)
        return ProcessRole::Draws;
    const int outputs = countOutputs();
    if (outputs < 2)
        return ProcessRole::Draws;

    signalsBefore = catchSignals();
    runs.clear();
    if (startRuns(outputs, runs, signalsBefore))
        return ProcessRole::Draws; // this is one of the runs
    if (runs.empty())
    {
        restoreSignals(signalsBefore);
        return ProcessRole::Draws; // none could be started: this process draws on one output
    }
    return ProcessRole::WatchesRuns;
}

int watchRunsUntilAllEnd()
{
    const int status = Supervision(runs).superviseUntilAllEnd(signalsBefore.whileWaiting);
    restoreSignals(signalsBefore);
    runs.clear();
    return status;
}

} // namespace platform
