// argv-fuzz VORNELLE [VECTORS [SEED]]: runs the program with argument vectors of random
// bytes and lengths, none of which asks it to run, and checks that every run ends with
// status 0 and writes nothing (so no sanitizer report either). Prints each vector that
// fails, escaped, and exits 1 if any did.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace
{

using ArgumentVector = std::vector<std::string>;

const std::size_t kLongestArgument = 4096; // bytes
const int kMostArguments = 6;

// Vectors a careless argument check trips over, before the random ones.
std::vector<ArgumentVector> edgeVectors()
{
    return {{},    {""},   {"/"},   {"", "/s"},     {"/", "/s"},
            {"s"}, {"/S"}, {"\\s"}, {"/p", "1234"}, {std::string(kLongestArgument, '/')}};
}

bool asksToRun(const ArgumentVector& arguments)
{
    return !arguments.empty() && arguments[0].compare(0, 2, "/s") == 0;
}

// Bytes 1..255: an argument cannot hold a NUL.
std::string randomBytes(std::mt19937& random, std::size_t length)
{
    std::uniform_int_distribution<int> byte(1, 255);
    std::string text(length, '\0');
    for (char& c : text)
        c = static_cast<char>(byte(random));
    return text;
}

std::string randomArgument(std::mt19937& random)
{
    std::uniform_int_distribution<std::size_t> length(0, kLongestArgument);
    std::uniform_int_distribution<std::size_t> shortLength(0, 8);
    switch (std::uniform_int_distribution<int>(0, 4)(random))
    {
    case 0:
        return "";
    case 1:
        return "/";
    case 2:
        return "/" + randomBytes(random, shortLength(random));
    case 3:
        return randomBytes(random, shortLength(random));
    default:
        return randomBytes(random, length(random));
    }
}

ArgumentVector randomVector(std::mt19937& random)
{
    ArgumentVector arguments;
    do
    {
        const int count = std::uniform_int_distribution<int>(0, kMostArguments)(random);
        arguments.clear();
        for (int i = 0; i < count; ++i)
            arguments.push_back(randomArgument(random));
    } while (asksToRun(arguments));
    return arguments;
}

// Each argument quoted, bytes outside printable ASCII as \xNN, long ones cut short.
std::string escaped(const ArgumentVector& arguments)
{
    const std::size_t shown = 48;
    std::string text;
    for (const std::string& argument : arguments)
    {
        text += " \"";
        for (std::size_t i = 0; i < argument.size() && i < shown; ++i)
        {
            const auto c = static_cast<unsigned char>(argument[i]);
            const bool plain = c >= 32 && c < 127 && c != '"' && c != '\\';
            char hex[8];
            std::snprintf(hex, sizeof hex, plain ? "%c" : "\\x%02x", c);
            text += hex;
        }
        text += '"';
        if (argument.size() > shown)
            text += "... (" + std::to_string(argument.size()) + " bytes)";
    }
    return text;
}

// Runs the program with its output in a scratch file; returns what went wrong, or "".
std::string runOnce(const char* program, const ArgumentVector& arguments)
{
    char outputPath[] = "/tmp/argv-fuzz-XXXXXX";
    const int output = mkstemp(outputPath);
    if (output < 0)
        return "cannot make a scratch file";
    unlink(outputPath);

    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);

    std::string problem;
    int status = 0;
    struct stat written = {};
    if (spawned != 0)
        problem = "cannot start the program";
    else if (waitpid(child, &status, 0) != child)
        problem = "lost the program";
    else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        problem = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                    : "killed by signal " + std::to_string(WTERMSIG(status));
    else if (fstat(output, &written) != 0 || written.st_size != 0)
        problem = "wrote " + std::to_string(written.st_size) + " bytes";
    close(output);
    return problem;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: argv-fuzz VORNELLE [VECTORS [SEED]]\n");
        return 2;
    }
    const int randomVectors = argc > 2 ? std::atoi(argv[2]) : 250;
    const unsigned seed = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 0))
                                   : std::random_device{}();
    std::mt19937 random(seed);

    std::vector<ArgumentVector> vectors = edgeVectors();
    for (int i = 0; i < randomVectors; ++i)
        vectors.push_back(randomVector(random));

    int failures = 0;
    for (const ArgumentVector& arguments : vectors)
    {
        const std::string problem = runOnce(argv[1], arguments);
        if (problem.empty())
            continue;
        ++failures;
        std::printf("FAIL (%s):%s\n", problem.c_str(), escaped(arguments).c_str());
    }
    std::printf("%zu argument vectors (seed %u), %d failed\n", vectors.size(), seed, failures);
    return failures == 0 ? 0 : 1;
}
