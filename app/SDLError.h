// The one failure the program reports: the display could not be set up.
// Thrown by value from setupDisplay, caught by reference in main.
#pragma once

#include <string>

class SDLError
{
public:
    explicit SDLError(const std::string& message) : message(message) {}

    std::string message;
};
