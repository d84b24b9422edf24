// A program's symbols as a plain text file: what the assembler writes beside a disk image
// (NAME.sym) and what the debuggers read to name addresses and show source lines. Its
// format is in docs/symbol-files.md; other tools may read and write it too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CSymbolFile {
public:
    struct SSymbol {
        std::string name;
        int64_t value = 0;
        bool label = true; // false: a constant defined with "=" or .equ
    };
    // The instruction whose head is at `address` came from line `line` of files[file].
    struct SLine {
        uint32_t address = 0;
        uint32_t file = 0;
        uint32_t line = 0;
    };

    // Adds a source file's name and returns its index (the same name gives the same index).
    uint32_t AddFile(const std::string& name);
    void AddSymbol(const std::string& name, int64_t value, bool label);
    void AddLine(uint32_t address, uint32_t file, uint32_t line);

    // The text of the file: symbols by value, lines by address.
    std::string Write() const;
    // Replaces the contents by the text's. False, with the line number and the reason in
    // `error`, for a text that is not a symbol file.
    bool Read(const std::string& text, std::string& error);
    // Reads the file at `path`; false with a reason when it cannot be read or parsed.
    bool Load(const std::string& path, std::string& error);

    // Moves every label and line by `offset` (a program that was loaded elsewhere than 0).
    void Relocate(uint32_t offset);

    // The value of a symbol, matched exactly.
    std::optional<int64_t> Find(const std::string& name) const;
    // The label at the highest address not above `address`, or null.
    const SSymbol* LabelAtOrBelow(uint32_t address) const;
    // The label at exactly `address`, or null.
    const SSymbol* LabelAt(uint32_t address) const;
    // The source line of the instruction whose head is at `address`, or null.
    const SLine* LineAt(uint32_t address) const;
    // "FILE:LINE" of that instruction; empty when unknown.
    std::string SourceOf(uint32_t address) const;
    // The first instruction of a source line; nullopt when the line emitted none.
    std::optional<uint32_t> AddressOfLine(const std::string& file, uint32_t line) const;

    const std::vector<std::string>& GetFiles() const { return files; }
    const std::vector<SSymbol>& GetSymbols() const { return symbols; }
    const std::vector<SLine>& GetLines() const { return lines; }
    bool IsEmpty() const { return symbols.empty() && lines.empty(); }

private:
    void Sort() const;

    // Sorted on the first lookup after a change.
    std::vector<std::string> files;
    mutable std::vector<SSymbol> symbols; // by value, then name
    mutable std::vector<SLine> lines;     // by address
    mutable bool sorted = true;
};
