// Runs a program (tarquil-run, the tools) as a child process and collects what it wrote and
// how it ended.
#pragma once

#include <string>
#include <vector>

struct SRunnerOutput {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the program with the given arguments, without a shell between; standard output and
// error are collected apart. A child killed by a signal ends with 128 + the signal.
SRunnerOutput RunProcess(const std::string& program, const std::vector<std::string>& arguments);

// Runs the runner built with these tests, with the given arguments.
SRunnerOutput RunRunner(const std::vector<std::string>& arguments);
