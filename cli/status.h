// The outcome of one step of the tool: success, or a one-line message and the
// exit code it ends the program with.
#pragma once

#include <string>
#include <utility>

constexpr int exitSuccess = 0;
constexpr int exitBadData = 1;  // unreadable or corrupt input, failed output
constexpr int exitUsage = 2;    // the command line asks for something impossible

struct Status {
    int exitCode = exitSuccess;
    std::string message;  // one line, no trailing newline; empty on success

    bool ok() const { return exitCode == exitSuccess; }
};

inline Status success() { return {}; }
inline Status badData(std::string message) { return {exitBadData, std::move(message)}; }
inline Status usageError(std::string message) { return {exitUsage, std::move(message)}; }

// How a path is named in messages: "-" is a stream, not a file called "-".
inline std::string inputName(const std::string& path)
{
    return path == "-" ? "standard input" : path;
}
inline std::string outputName(const std::string& path)
{
    return path == "-" ? "standard output" : path;
}
