// Runs tarquil-run as a child process and collects what it wrote and how it ended.
#pragma once

#include <string>
#include <vector>

struct SRunnerOutput {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the runner built with these tests, with the given arguments.
SRunnerOutput RunRunner(const std::vector<std::string>& arguments);
