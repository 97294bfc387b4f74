// Runs a program of the build folder and collects its exit code and output.
#pragma once

#include <string>

namespace testing {

struct ProcessResult {
    int exitCode;      // -1 when the program could not be started or timed out
    std::string output; // standard output and standard error together
};

ProcessResult RunProgram(const std::string &commandLine, unsigned timeoutMs = 60000);

} // namespace testing
