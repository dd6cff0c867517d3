// The command line: the program runs only when asked to with the run argument.
#pragma once

// True when the first argument begins with "/s" (case-sensitive; the rest is ignored).
bool isRunArgument(int argc, char** argv);
