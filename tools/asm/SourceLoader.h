// Reads the source files of one assembly into a flat list of tokenized lines, expanding
// ".include" where it stands and loading the bytes of ".incbin".
#pragma once

#include "tools/asm/Diagnostics.h"
#include "tools/asm/Lexer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SSourceLine {
    uint32_t file = 0; // index into the file names
    uint32_t number = 0;
    std::string text;
    std::vector<SToken> tokens;
    bool usable = false;         // lexed without error
    bool inMainFile = false;     // for the listing
    std::vector<uint8_t> binary; // the bytes of an ".incbin" on this line
};

inline constexpr uintmax_t kMaxSourceFileSize = 256u * 1024 * 1024;

// Reads a whole file; false when it cannot be read.
using FileReader = std::function<bool(const std::string& path, std::string& text)>;

bool ReadTextFile(const std::string& path, std::string& text);

class CSourceLoader {
public:
    static constexpr size_t kMaxIncludeDepth = 32;

    CSourceLoader(CDiagnostics& diagnostics, FileReader reader,
                  std::vector<std::string> includeDirectories, size_t maxLines);

    bool LoadFile(const std::string& path);
    bool LoadText(const std::string& name, const std::string& text);

    const std::vector<SSourceLine>& GetLines() const { return lines; }
    const std::string& GetFileName(uint32_t file) const { return fileNames[file]; }
    SSourceLocation Locate(size_t sequence, uint32_t column) const;

private:
    struct SIncludeFrame {
        std::string identity; // how the file is recognised in a cycle
        std::string directory;
    };

    void AddText(const std::string& displayName, const std::string& identity,
                 const std::string& text);
    // The source text of an ".include" operand; false (after reporting) when not found.
    bool ResolveInclude(const std::string& name, size_t sequence, uint32_t column,
                        std::string& displayName, std::string& identity, std::string& text);
    bool ResolveBinary(const std::string& name, size_t sequence, uint32_t column,
                       std::vector<uint8_t>& bytes);
    void HandleFileDirective(size_t sequence);

    CDiagnostics& diagnostics;
    FileReader reader;
    std::vector<std::string> includeDirectories;
    std::vector<SSourceLine> lines;
    std::vector<std::string> fileNames;
    std::vector<SIncludeFrame> stack;
    size_t maxLines;
    bool tooLarge = false;
};
