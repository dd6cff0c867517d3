#include "app/Arguments.h"

bool isRunArgument(int argc, char** argv)
{
    if (argc < 2 || argv == nullptr || argv[1] == nullptr)
        return false;
    // Looking at the second character only after the first matched never reads past "\0".
    const char* first = argv[1];
    return first[0] == '/' && first[1] == 's';
}
