// Private to the Linux sources of the platform (X11, Wayland and the runs per Wayland output):
// what one of them does for the others. Not part of the program's view of the platform.
#pragma once

#include <string>

namespace platform::linuxshared
{

// The SDL 1.2 API on SDL2 renders OpenGL modes off screen and scales them unless this is 0.
inline constexpr const char* kOpenGlScalingVariable = "SDL12COMPAT_OPENGL_SCALING";

// True when the environment gives the variable a value that is not empty.
bool isSet(const char* variable);

// SDL_VIDEODRIVER is a comma-separated list that SDL tries in order: true when it names
// `driver` first.
bool sdlTriesFirst(const char* driver);

// In a Wayland session, unless the user chose SDL's video driver, asks SDL for its Wayland
// driver (X11 only should that fail) even where Xwayland is at hand too: through it the run
// would see neither the outputs nor the pointer as they are.
void preferNativeVideoDriver();

// Where SDL is to draw on a Wayland compositor: once the compositor is gone, the process ends at
// once with status 1 and one line on standard error.
void endProcessWhenCompositorLost();

// Before SDL_Init, for a full-screen run: no decorations drawn by libdecor, and where the
// compositor scales an output, buffers at the output's own resolution.
void prepareWaylandWindow();

// Right after SDL_SetVideoMode: where SDL draws through Wayland, lets go of the pointer that the
// SDL 1.2 API holds for a full-screen window.
void leavePointerFree();

// Milliseconds on the monotonic clock, which no one can set back.
long long millisecondsNow();

// Once SDL has started: the name of its video driver ("x11", "wayland"); empty when it has none.
std::string sdlVideoDriver();

} // namespace platform::linuxshared
