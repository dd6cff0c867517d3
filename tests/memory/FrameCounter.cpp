// Counts the frames the program shows, for scripts that must wait for a number of them
// without changing the program. Loaded with LD_PRELOAD, it stands between the program and
// SDL's buffer swap and keeps the running count in the file named by
// VORNELLE_FRAME_COUNT_FILE, rewritten in place after every swap.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace
{

using SwapBuffers = void (*)();

SwapBuffers realSwapBuffers()
{
    static const SwapBuffers real =
        reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers"));
    return real;
}

int countFile()
{
    static const int descriptor = []
    {
        const char* path = std::getenv("VORNELLE_FRAME_COUNT_FILE");
        return path == nullptr ? -1 : open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    }();
    return descriptor;
}

// Fixed width, so a rewrite never leaves digits of an older, longer count behind.
void publish(unsigned long frames)
{
    char line[24];
    const int length = std::snprintf(line, sizeof line, "%20lu\n", frames);
    if (countFile() >= 0 && length > 0)
        (void)!pwrite(countFile(), line, static_cast<size_t>(length), 0);
}

} // namespace

extern "C" void SDL_GL_SwapBuffers()
{
    static unsigned long frames = 0;
    realSwapBuffers()();
    publish(++frames);
}
