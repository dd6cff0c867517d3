// host-window [--input-only] [WIDTHxHEIGHT+X+Y]: stands in for a screensaver daemon. Creates
// a black, unmanaged window of that geometry (default 320x240+200+150), prints its id in hex
// on standard output and then holds it until killed; the X server destroys the window when
// the connection closes, as it does when a daemon drops its window. --input-only makes a
// window that takes input but shows nothing, which no daemon should hand over.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>

namespace
{

struct Geometry
{
    unsigned int width = 320;
    unsigned int height = 240;
    int x = 200;
    int y = 150;
};

bool parseGeometry(const char* text, Geometry& geometry)
{
    int x = 0;
    int y = 0;
    unsigned int width = 0;
    unsigned int height = 0;
    const int mask = XParseGeometry(text, &x, &y, &width, &height);
    const int needed = WidthValue | HeightValue | XValue | YValue;
    if ((mask & needed) != needed || (mask & (XNegative | YNegative)) != 0)
        return false;
    geometry = Geometry{width, height, x, y};
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int next = 1;
    const bool inputOnly = argc > next && std::strcmp(argv[next], "--input-only") == 0;
    if (inputOnly)
        ++next;
    const char* geometryText = argc > next ? argv[next] : nullptr;
    Geometry geometry;
    if (geometryText != nullptr && !parseGeometry(geometryText, geometry))
    {
        std::fprintf(stderr, "host-window: expected WIDTHxHEIGHT+X+Y, got \"%s\"\n", geometryText);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
    {
        std::fprintf(stderr, "host-window: cannot open the display\n");
        return 1;
    }

    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.override_redirect = True; // placed exactly where asked, managed or not
    // An input-only window has no depth, border or background to give.
    const Window window = XCreateWindow(
        display, RootWindow(display, screen), geometry.x, geometry.y, geometry.width,
        geometry.height, 0, inputOnly ? 0 : CopyFromParent, inputOnly ? InputOnly : InputOutput,
        CopyFromParent, inputOnly ? CWOverrideRedirect : CWBackPixel | CWOverrideRedirect,
        &attributes);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    for (XEvent event{}; event.type != MapNotify;)
        XNextEvent(display, &event);

    std::printf("0x%lx\n", window);
    std::fflush(stdout);
    for (;;)
    {
        XEvent event;
        XNextEvent(display, &event);
    }
}
