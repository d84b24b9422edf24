// Running the command-line programs from tests: their output, their exit status, and a
// few readers for what they leave behind.
#pragma once

#include "RunnerProcess.h"
#include "tools/asm/Assembler.h"

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
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

struct SCommandResult : SRunnerOutput {
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

// Runs the program with its arguments; standard output and error are collected apart.
inline SCommandResult RunProgram(const std::string& program,
                                 const std::vector<std::string>& arguments) {
    return {RunProcess(program, arguments)};
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
