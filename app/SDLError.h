// The failure main reports as "SDL ERROR:": the display could not be set up. Thrown by value from
// setupDisplay, caught by reference in main. (The command line, a lost display and the runs per
// output report in their own words.)
#pragma once

#include <string>

class SDLError
{
public:
    explicit SDLError(const std::string& message) : message(message) {}

    std::string message;
};
