// Vornelle: the coloured outline of 35 drifting metaballs, full screen, until the user
// comes back. Runs only when started with "/s".
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
}

int main(int argc, char** argv)
{
    // Check arguments: anything but the run argument ends here, before SDL is touched.
    if (!isRunArgument(argc, argv))
        return 0;

    // Seed: every run starts from a fresh arrangement.
    std::srand(platform::millisecondTicks());

    // Create the scene and the renderer that outlines it.
    MetaballField* field = new MetaballField();
    ContourRenderer* renderer = new ContourRenderer(field, kIsoLevel);

    int result = 0;
    try
    {
        // Set up the display, then loop: input, time, update, draw, swap.
        setupDisplay();
        runFrameLoop(*field, *renderer);
    }
    catch (const SDLError& error)
    {
        std::cerr << "SDL ERROR:\n" << error.message << "\n";
        result = -1;
    }

    // Tear down: the renderer points at the field, so it goes first. SDL shuts down at exit.
    delete renderer;
    delete field;
    return result;
}
