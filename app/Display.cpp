#include "app/Display.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdlib>

#include "app/SDLError.h"
#include "platform/Platform.h"

namespace
{

const char* const kCaption = "Vornelle";
const Uint32 kVideoModeFlags = SDL_FULLSCREEN | SDL_OPENGL | SDL_HWSURFACE;
const int kSwapInterval = 1;
const double kWorldHalfSize = 500.0;

void startVideo()
{
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

void setInitialGlState()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glDisable(GL_DEPTH_TEST);
}

} // namespace

void setupDisplay()
{
    startVideo();
    std::atexit(SDL_Quit);

    SDL_WM_SetCaption(kCaption, nullptr);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    platform::requestSwapInterval(kSwapInterval);
    SDL_ShowCursor(SDL_DISABLE);

    const platform::DesktopMode desktop = platform::desktopMode();
    // Kept for the whole run by SDL itself; nothing here draws into it directly.
    SDL_Surface* screen =
        SDL_SetVideoMode(desktop.width, desktop.height, desktop.bitsPerPixel, kVideoModeFlags);
    if (screen == nullptr)
        throw SDLError("Unable to set video mode");

    setInitialGlState();
    reshape(screen->w, screen->h);
}

void reshape(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-kWorldHalfSize, kWorldHalfSize, -kWorldHalfSize, kWorldHalfSize, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
