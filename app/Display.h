// The full-screen OpenGL display, or one in a screensaver daemon's window, set up with the world
// projection (app/Viewports.h) every drawing relies on.
#pragma once

#include "platform/Platform.h"

// Starts SDL's video, opens a full-screen double-buffered OpenGL mode at the desktop's own
// size and depth, over every monitor, with the caption "Vornelle", no cursor and no
// decorations, in buffers at the output's own resolution where outputs are scaled, applies
// reshape() to those buffers and takes hold of the keyboard where it can.
// Throws SDLError on failure, leaving in place whatever it had already done; once SDL has
// started, its shutdown is registered with atexit.
void setupDisplay();

// The same, but drawing into the window with the id hostWindow that a screensaver daemon
// made, at that window's own size and depth, not full screen, the cursor left to the daemon.
// Throws SDLError also when the display has no such window. A window destroyed while SDL sets
// up in it is no failure: the frame loop then finds it gone and ends the run.
void setupDisplayInWindow(unsigned long hostWindow);

// After setupDisplayInWindow, when the host window has taken a new size: the viewport and the
// projection follow it. SDL's video surface keeps the size it was opened at; nothing draws
// into it.
void resizeDisplayInWindow(const platform::DesktopMode& mode);
