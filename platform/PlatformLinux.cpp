// Linux and other X11 desktops, with the SDL 1.2 API on either of its implementations.
#include "platform/Platform.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace
{

// Drivers SDL falls back to when no display can be opened: they run, but nobody sees them.
const char* const kInvisibleDrivers[] = {"offscreen", "dummy", "caca", "aalib"};

bool userChoseDriver()
{
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    return chosen != nullptr && chosen[0] != '\0';
}

} // namespace

namespace platform
{

std::uint32_t millisecondTicks()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                       static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(milliseconds);
}

bool videoDriverReachesScreen()
{
    if (userChoseDriver())
        return true;
    char name[64] = "";
    if (SDL_VideoDriverName(name, sizeof name) == nullptr)
        return false;
    for (const char* invisible : kInvisibleDrivers)
        if (std::strcmp(name, invisible) == 0)
            return false;
    return true;
}

// GLX's extension string never names swap control the way WGL's does, and calling a GLX
// swap entry point the server does not offer can end the process with an X error. SDL asks
// through the right extension where there is one and ignores the request where there is not.
void requestSwapInterval(int interval)
{
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, interval);
}

DesktopMode desktopMode()
{
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info == nullptr)
        return DesktopMode{0, 0, 0}; // SDL_SetVideoMode reads zeros as "the current mode"
    return DesktopMode{info->current_w, info->current_h, info->vfmt->BitsPerPixel};
}

} // namespace platform
