#include "app/Arguments.h"

#include <cstdint>
#include <cstring>

namespace
{

const char* const kWindowIdOption = "--window-id";
const char* const kWindowIdVariable = "XSCREENSAVER_WINDOW";

int digitValue(char digit, int base)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (base == 16 && digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (base == 16 && digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

} // namespace

bool isRunArgument(int argc, char** argv)
{
    if (argc < 2 || argv == nullptr || argv[1] == nullptr)
        return false;
    // Looking at the second character only after the first matched never reads past "\0".
    const char* first = argv[1];
    return first[0] == '/' && first[1] == 's';
}

WindowIdText namedHostWindow(int argc, char** argv, const char* environmentValue)
{
    // A daemon's preview appends its option after the hack's own arguments, so the last wins.
    for (int i = argc - 1; i >= 2; --i)
        if (argv[i] != nullptr && std::strcmp(argv[i], kWindowIdOption) == 0)
            return WindowIdText{i + 1 < argc && argv[i + 1] != nullptr ? argv[i + 1] : "",
                                kWindowIdOption};
    if (environmentValue != nullptr && environmentValue[0] != '\0')
        return WindowIdText{environmentValue, kWindowIdVariable};
    return WindowIdText{nullptr, nullptr};
}

bool parseWindowId(const char* text, unsigned long& id)
{
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        base = 16;
        text += 2;
    }
    if (text[0] == '\0')
        return false;
    std::uint64_t value = 0;
    for (; *text != '\0'; ++text)
    {
        const int digit = digitValue(*text, base);
        if (digit < 0)
            return false;
        value = value * base + digit;
        if (value > UINT32_MAX)
            return false;
    }
    if (value == 0)
        return false;
    id = static_cast<unsigned long>(value);
    return true;
}
