// screen-saver-state: what the X server's own screen saver is doing, as a desktop's idle
// tools see it through the MIT-SCREEN-SAVER extension. Prints one line: "on MS" (on for MS
// milliseconds), "off MS" (MS milliseconds until it turns on; 0 while it is held off or has
// no timeout) or "disabled", and exits 0; 1 when the display or the extension is missing.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <cstdio>

namespace
{

const char* stateName(int state)
{
    switch (state)
    {
    case ScreenSaverOn:
        return "on";
    case ScreenSaverOff:
        return "off";
    default:
        return "disabled";
    }
}

} // namespace

int main()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
    {
        std::fprintf(stderr, "screen-saver-state: cannot open the display\n");
        return 1;
    }
    int eventBase = 0;
    int errorBase = 0;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase) || info == nullptr ||
        XScreenSaverQueryInfo(display, DefaultRootWindow(display), info) == 0)
    {
        std::fprintf(stderr, "screen-saver-state: no MIT-SCREEN-SAVER extension\n");
        return 1;
    }
    if (info->state == ScreenSaverDisabled)
        std::printf("disabled\n");
    else
        std::printf("%s %lu\n", stateName(info->state), info->til_or_since);
    XFree(info);
    XCloseDisplay(display);
    return 0;
}
