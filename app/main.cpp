// Vornelle: the coloured outline of 35 drifting metaballs, full screen, until the user
// comes back. Runs only when started with "/s"; draws into a screensaver daemon's window
// instead when one is named (--window-id ID or XSCREENSAVER_WINDOW).
#include <SDL.h>

#include <cstdlib>
#include <iostream>

#include "app/Arguments.h"
#include "app/Display.h"
#include "app/FrameLoop.h"
#include "app/SDLError.h"
#include "field/MetaballField.h"
#include "platform/Platform.h"
#include "render/ContourRenderer.h"

namespace
{

const float kIsoLevel = 1.0f;

// The daemon's window named on the command line or in the environment; 0 when none is.
// False, after saying why on standard error, when the name is not a window id or this
// system's daemons lend no windows.
bool findHostWindow(int argc, char** argv, unsigned long& hostWindow)
{
    const WindowIdText named = namedHostWindow(argc, argv, std::getenv("XSCREENSAVER_WINDOW"));
    hostWindow = 0;
    if (named.text == nullptr)
        return true;
    if (!platform::hostWindowsSupported())
    {
        std::cerr << "vornelle: " << named.source
                  << ": drawing into another program's window is not supported on this system\n";
        return false;
    }
    if (parseWindowId(named.text, hostWindow))
        return true;
    std::cerr << "vornelle: " << named.source << " \"" << named.text
              << "\" is not a window id (expected a number such as 0x2a00007)\n";
    return false;
}

// Sets up the display and runs the frame loop; -1 when the display cannot be set up.
int run(MetaballField& field, ContourRenderer& renderer, unsigned long hostWindow)
{
    try
    {
        // Set up the display, then loop: input, time, update, draw, swap.
        if (hostWindow == platform::kFullScreen)
            setupDisplay();
        else
            setupDisplayInWindow(hostWindow);
        runFrameLoop(field, renderer,
                     hostWindow == platform::kFullScreen ? RunOwner::User : RunOwner::HostDaemon);
    }
    catch (const SDLError& error)
    {
        std::cerr << "SDL ERROR:\n" << error.message << "\n";
        return -1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    platform::ensureStandardStreamsOpen();

    // Check arguments: anything but the run argument ends here, before SDL is touched.
    if (!isRunArgument(argc, argv))
        return 0;
    unsigned long hostWindow = 0;
    if (!findHostWindow(argc, argv, hostWindow))
        return -1;

    // Seed: every run starts from a fresh arrangement.
    std::srand(platform::millisecondTicks());

    // Create the scene and the renderer that outlines it.
    MetaballField* field = new MetaballField();
    ContourRenderer* renderer = new ContourRenderer(field, kIsoLevel);

    // Draw, or watch the runs: full screen where one window covers one output only, this
    // process starts a run per output, each a copy of it showing the scene made above, and
    // only watches them.
    const bool fullScreen = hostWindow == platform::kFullScreen;
    int result = 0;
    if (fullScreen && platform::startRunPerOutput() == platform::ProcessRole::WatchesRuns)
        result = platform::watchRunsUntilAllEnd();
    else
        result = run(*field, *renderer, hostWindow);

    // Tear down: the renderer points at the field, so it goes first. SDL shuts down at exit.
    delete renderer;
    delete field;
    return result;
}
