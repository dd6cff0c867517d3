#include "platform/Common.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdlib>

namespace
{

// Unless set to 1, SDL holds the screen saver and display power saving off while it runs.
const char* const kAllowScreenSaverVariable = "SDL_VIDEO_ALLOW_SCREENSAVER";

bool overlap(const platform::PixelRect& a, const platform::PixelRect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

} // namespace

namespace platform::common
{

void setUnlessUserSet(const char* variable, const char* value)
{
#ifdef _WIN32
    // The C library there has no setenv.
    if (std::getenv(variable) == nullptr)
        _putenv_s(variable, value);
#else
    const int keepUserValue = 0;
    setenv(variable, value, keepUserValue);
#endif
}

void letDisplaysSleep()
{
    setUnlessUserSet(kAllowScreenSaverVariable, "1");
}

// Read as SDL reads a yes or no: "0" and "false" are no, anything else yes.
bool displaysMaySleep()
{
    const char* value = std::getenv(kAllowScreenSaverVariable);
    return value == nullptr || value[0] == '\0' ||
           (SDL_strcmp(value, "0") != 0 && SDL_strcasecmp(value, "false") != 0);
}

PixelRect wholeVideoSurface()
{
    const SDL_Surface* surface = SDL_GetVideoSurface();
    return PixelRect{0, 0, surface != nullptr ? surface->w : 0,
                     surface != nullptr ? surface->h : 0};
}

bool sameRect(const PixelRect& a, const PixelRect& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

bool sdlWindowInfo(SDL_SysWMinfo& info)
{
    SDL_VERSION(&info.version);
    return SDL_GetWMInfo(&info) > 0;
}

std::vector<PixelRect> monitorsOnWindow(const std::vector<PixelRect>& desktopMonitors,
                                        const PixelRect& window)
{
    std::vector<PixelRect> onWindow;
    for (const PixelRect& monitor : desktopMonitors)
        if (overlap(monitor, window))
            onWindow.push_back(PixelRect{monitor.x - window.x, monitor.y - window.y, monitor.width,
                                         monitor.height});
    if (onWindow.empty())
        onWindow.push_back(PixelRect{0, 0, window.width, window.height});
    return onWindow;
}

} // namespace platform::common
