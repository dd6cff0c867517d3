// Loaded into the real program with LD_PRELOAD, counts its buffer swaps from outside: every
// SDL_GL_SwapBuffers call is noted and handed on to SDL. Writes to the file named by
// VORNELLE_SWAP_LOG, times in nanoseconds on CLOCK_REALTIME (comparable with `date +%s%N`):
//   first <time>                         as soon as the first swap is done
//   swaps <count> <first time> <last time>   when the process exits normally
// VORNELLE_SWAP_COUNT, if set, names a file that holds the running count after every swap,
// for scripts that wait for a number of frames.
// Only the program being measured writes: processes it starts (a D-Bus launcher, say) inherit
// the preload and these variables, and so do the tools a script runs, but they write nothing.
// Other GL programs, measured beside it, are counted at their own GLX or EGL swaps: there the
// program is the first process that swaps.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace
{

using SwapBuffers = void (*)();

pid_t measuredProcess = 0; // 0 until the library finds itself in an SDL program, or a GL swap
bool sdlProgram = false;   // its swaps are counted at SDL's, whatever SDL calls underneath
long long swaps = 0;
long long firstSwap = 0;
long long lastSwap = 0;

long long nanosecondsNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

SwapBuffers nextSwapBuffers()
{
    return reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers"));
}

// The program is the process that has SDL's swap to hand on to; a child it forks without
// starting another program is a copy, not the program, and must not report its counts again.
__attribute__((constructor)) void recogniseMeasuredProcess()
{
    sdlProgram = nextSwapBuffers() != nullptr;
    if (sdlProgram)
        measuredProcess = getpid();
}

bool inMeasuredProcess()
{
    return measuredProcess != 0 && getpid() == measuredProcess;
}

void appendToLog(const char* line)
{
    if (!inMeasuredProcess())
        return;
    const char* path = std::getenv("VORNELLE_SWAP_LOG");
    if (path == nullptr)
        return;
    if (std::FILE* log = std::fopen(path, "a"))
    {
        std::fputs(line, log);
        std::fclose(log);
    }
}

// Rewritten in place at a fixed width, so a reader never sees digits of an older count.
void publishCount()
{
    static const int file = []
    {
        const char* path = std::getenv("VORNELLE_SWAP_COUNT");
        return path == nullptr ? -1 : open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    }();
    char line[24];
    const int length = std::snprintf(line, sizeof line, "%20lld\n", swaps);
    if (file >= 0 && length > 0)
        (void)!pwrite(file, line, static_cast<size_t>(length), 0);
}

__attribute__((destructor)) void reportSwaps()
{
    char line[96];
    std::snprintf(line, sizeof line, "swaps %lld %lld %lld\n", swaps, firstSwap, lastSwap);
    appendToLog(line);
}

void noteSwap()
{
    lastSwap = nanosecondsNow();
    if (swaps++ == 0)
    {
        firstSwap = lastSwap;
        char line[48];
        std::snprintf(line, sizeof line, "first %lld\n", firstSwap);
        appendToLog(line);
    }
    publishCount();
}

// A swap of a GL program that is not an SDL one.
void noteGlSwap()
{
    if (sdlProgram)
        return;
    if (measuredProcess == 0)
        measuredProcess = getpid();
    noteSwap();
}

template <typename Function> Function nextFunction(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" void SDL_GL_SwapBuffers()
{
    static const SwapBuffers next = nextSwapBuffers();
    if (next != nullptr)
        next();
    noteSwap();
}

// The GLX and EGL types, as plain types of the same size: no GL headers needed.
extern "C" void glXSwapBuffers(void* display, unsigned long drawable)
{
    using Swap = void (*)(void*, unsigned long);
    static const Swap swap = nextFunction<Swap>("glXSwapBuffers");
    if (swap != nullptr)
        swap(display, drawable);
    noteGlSwap();
}

extern "C" unsigned eglSwapBuffers(void* display, void* surface)
{
    using Swap = unsigned (*)(void*, void*);
    static const Swap swap = nextFunction<Swap>("eglSwapBuffers");
    const unsigned done = swap != nullptr ? swap(display, surface) : 0;
    noteGlSwap();
    return done;
}
