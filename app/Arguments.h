// The command line: the program runs only when asked to with the run argument, and draws
// into a screensaver daemon's window when one is named.
#pragma once

// True when the first argument begins with "/s" (case-sensitive; the rest is ignored).
bool isRunArgument(int argc, char** argv);

// Where a host window was named, as the text given there (not yet checked).
struct WindowIdText
{
    const char* text;   // null when no window was named
    const char* source; // "--window-id" or "XSCREENSAVER_WINDOW", for messages
};

// The window a screensaver daemon lends for drawing: the last "--window-id ID" after the run
// argument wins over environmentValue (XSCREENSAVER_WINDOW's value, null or empty when not
// set). A "--window-id" with nothing after it gives the empty text, which is no window id.
WindowIdText namedHostWindow(int argc, char** argv, const char* environmentValue);

// A window id as daemons and X tools print it: "0x" and hex digits (either case), or decimal
// digits; non-zero and at most 32 bits. Writes it to id and returns true; anything else,
// signs and spaces included, returns false and leaves id alone.
bool parseWindowId(const char* text, unsigned long& id);
