// Running the command-line programs from tests: their output, their exit status, and a
// few readers for what they leave behind.
#pragma once

#include "tools/asm/Assembler.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace programtests {

inline std::string BuildDir() {
    const char* fromEnvironment = std::getenv("TARQUIL_BUILD_DIR");
    return fromEnvironment ? fromEnvironment : TARQUIL_BINARY_DIR;
}
inline std::string SourceDir() {
    return TARQUIL_SOURCE_DIR;
}
inline std::string Tool(const std::string& name) {
    return BuildDir() + "/" + name;
}

struct SCommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream stream(out);
        for (std::string line; std::getline(stream, line);)
            lines.push_back(line);
        return lines;
    }
    bool HasLine(const std::string& line) const {
        for (const std::string& l : Lines())
            if (l == line)
                return true;
        return false;
    }
};

inline std::string Quote(const std::string& argument) {
    std::string quoted = "'";
    for (char c : argument) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// Runs the program with its arguments; standard output and error are collected apart.
inline SCommandResult RunProgram(const std::string& program,
                                 const std::vector<std::string>& arguments) {
    char errName[] = "/tmp/tarquil-stderr-XXXXXX";
    const int errFile = mkstemp(errName);
    std::string command = Quote(program);
    for (const std::string& a : arguments)
        command += " " + Quote(a);
    command += " 2>" + Quote(errName);
    SCommandResult result;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            result.out.append(buffer, n);
        const int status = pclose(pipe);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (FILE* err = fopen(errName, "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, err)) > 0)
            result.err.append(buffer, n);
        fclose(err);
    }
    if (errFile >= 0)
        std::remove(errName);
    return result;
}

// The address of a label of a program source, as the assembler places it.
inline std::optional<int64_t> SymbolOf(const std::string& source, const std::string& name,
                                       const std::vector<std::string>& includeDirs = {}) {
    SAssemblerOptions options;
    options.includeDirectories = includeDirs;
    CAssembler assembler(options);
    if (!assembler.AssembleFile(source))
        return std::nullopt;
    return assembler.GetSymbol(name);
}

} // namespace programtests
