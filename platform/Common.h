// Private to the platform sources, every platform's: what they all do the same way. Not part of
// the program's view of the platform.
#pragma once

#include <vector>

#include "platform/Platform.h"

struct SDL_SysWMinfo;

namespace platform::common
{

// SDL reads its settings from the environment; the user's own word wins.
void setUnlessUserSet(const char* variable, const char* value);

// Before SDL_Init: leaves the window system's screen saver and display power saving to their own
// schedule. SDL holds both off while a program runs, as a video player would want; a
// screensaver left running all night would then keep the displays lit.
void letDisplaysSleep();

// False where the user asked SDL to hold the screen saver and power saving off after all
// (SDL_VIDEO_ALLOW_SCREENSAVER=0), which SDL also does through the desktop's own services.
bool displaysMaySleep();

// The video surface as a rectangle at 0,0; empty before the mode is set.
PixelRect wholeVideoSurface();

bool sameRect(const PixelRect& a, const PixelRect& b);

// What SDL tells of its window in the window system's own terms; false where it has none.
bool sdlWindowInfo(SDL_SysWMinfo& info);

// The monitors that show part of the window, moved from desktop coordinates to the window's
// (pixels, y downward, both), in the order given and not clipped to the window; where none
// does, one monitor covering the window.
std::vector<PixelRect> monitorsOnWindow(const std::vector<PixelRect>& desktopMonitors,
                                        const PixelRect& window);

} // namespace platform::common
