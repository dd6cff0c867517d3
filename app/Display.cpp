#include "app/Display.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdlib>

#include "app/SDLError.h"
#include "app/Viewports.h"
#include "platform/Platform.h"

namespace
{

const char* const kCaption = "Vornelle";
const Uint32 kVideoModeFlags = SDL_FULLSCREEN | SDL_OPENGL | SDL_HWSURFACE;
const Uint32 kSpanningWindowFlags = SDL_NOFRAME | SDL_OPENGL | SDL_HWSURFACE;
const Uint32 kHostWindowFlags = SDL_OPENGL | SDL_HWSURFACE;
const int kSwapInterval = 1;

void startVideo(platform::HostWindowId hostWindow)
{
    platform::beforeVideoStarts(hostWindow);
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        throw SDLError("Unable to init SDL");
    // Without a display SDL may start an invisible driver instead of failing; running there
    // would burn a core for ever with nothing on any screen.
    if (!platform::videoDriverReachesScreen())
    {
        SDL_Quit();
        throw SDLError("Unable to init SDL");
    }
}

void startVideoWithOpenGl(platform::HostWindowId hostWindow)
{
    startVideo(hostWindow);
    std::atexit(SDL_Quit);

    SDL_WM_SetCaption(kCaption, nullptr);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    platform::requestSwapInterval(kSwapInterval);
}

void setInitialGlState()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glDisable(GL_DEPTH_TEST);
}

// False when SDL refuses the mode.
bool openVideoMode(const platform::DesktopMode& mode, Uint32 flags)
{
    // Kept for the whole run by SDL itself; nothing here draws into it directly.
    SDL_Surface* screen = SDL_SetVideoMode(mode.width, mode.height, mode.bitsPerPixel, flags);
    if (screen == nullptr)
        return false;
    platform::afterVideoModeSet();

    setInitialGlState();
    reshape(screen->w, screen->h);
    return true;
}

void setVideoMode(const platform::DesktopMode& mode, Uint32 flags)
{
    if (!openVideoMode(mode, flags))
        throw SDLError("Unable to set video mode");
}

// The daemon may take its window away at any moment, also while SDL is still setting up in
// it. That is the daemon ending the run, as normal an end as at any later moment: the frame
// loop's next pass sees the window gone and ends it with nothing drawn.
void setVideoModeInHostWindow(const platform::DesktopMode& mode)
{
    if (!openVideoMode(mode, kHostWindowFlags) && !platform::hostWindowGone())
        throw SDLError("Unable to set video mode");
}

std::string unusableWindowMessage(unsigned long window, platform::HostWindowLookup lookup)
{
    const char* const format = lookup == platform::HostWindowLookup::ShowsNothing
                                   ? "Unable to draw into window 0x%lx: it is input-only"
                                   : "Unable to find window 0x%lx";
    char message[96];
    std::snprintf(message, sizeof message, format, window);
    return message;
}

} // namespace

void setupDisplay()
{
    startVideoWithOpenGl(platform::kFullScreen);
    SDL_ShowCursor(SDL_DISABLE);
    const platform::FullScreenMode fullScreen = platform::fullScreenMode();
    setVideoMode(fullScreen.mode, fullScreen.plainWindow ? kSpanningWindowFlags : kVideoModeFlags);
    followDrawableSize();
    platform::holdKeyboard();
}

void setupDisplayInWindow(unsigned long hostWindow)
{
    startVideoWithOpenGl(hostWindow);
    platform::DesktopMode mode{};
    const platform::HostWindowLookup lookup = platform::hostWindowMode(hostWindow, mode);
    if (lookup != platform::HostWindowLookup::Usable)
        throw SDLError(unusableWindowMessage(hostWindow, lookup));
    setVideoModeInHostWindow(mode);
}

void resizeDisplayInWindow(const platform::DesktopMode& mode)
{
    // GL's drawing surface follows the window's size by itself; SDL is not asked again. Its
    // SDL_SetVideoMode would make a new GL context and drop the old one at every size a
    // daemon's window passes through, and after a storm of them Mesa's software GL reads
    // memory it has already freed when the process closes its display at exit.
    reshape(mode.width, mode.height);
}
