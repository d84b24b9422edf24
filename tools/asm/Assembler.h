// The assembler: turns source text into the bytes of a program that is loaded at address 0.
// It runs trial passes until every label keeps its address, then one final pass that emits
// the bytes and reports errors; a broken statement is reported and skipped, so one run
// reports as many errors as it can find.
#pragma once

#include "tools/asm/Diagnostics.h"
#include "tools/asm/Expression.h"
#include "tools/asm/SourceLoader.h"
#include "tools/asm/SymbolFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct SOperandShape;

struct SAssemblerOptions {
    std::vector<std::string> includeDirectories;
    FileReader reader = ReadTextFile;
    // The most source lines, includes expanded, that one assembly reads. Includes nested 32
    // deep can multiply a few lines beyond any real program; this bounds the time they take.
    size_t maxLines = 2'000'000;
    // The largest program the assembler produces, in bytes: a whole number of mebibytes,
    // since the error names the limit in MiB.
    uint64_t maxImageSize = 256u * 1024 * 1024;
};

class CAssembler {
public:
    static constexpr int kMaxTrialPasses = 32;

    explicit CAssembler(SAssemblerOptions options = {});

    bool AssembleFile(const std::string& path);
    bool AssembleText(const std::string& name, const std::string& text);

    const std::vector<uint8_t>& GetImage() const { return image; }
    const CDiagnostics& GetDiagnostics() const { return diagnostics; }
    // Address, bytes and source text of every line of the main file and of every included
    // line that produced bytes.
    // The listing ends with the symbol table.
    std::string GetListing() const;
    // Labels, constants and the source line of every instruction, after a successful
    // assembly.
    CSymbolFile GetSymbolFile() const;
    // The value of a label or constant after a successful assembly.
    std::optional<int64_t> GetSymbol(const std::string& name) const;

private:
    struct SSymbol {
        SValue value;
        size_t sequence = 0; // where it was defined
        uint32_t column = 0;
        bool label = false;
    };
    struct SListingEntry {
        uint32_t address = 0;
        size_t firstByte = 0;
        size_t byteCount = 0;
        bool instruction = false; // the line's bytes are one instruction
    };
    class CStatement;

    bool Run();
    // Run, unless a file the source names could not be read (then only that is reported).
    bool RunUnlessAFileIsMissing();
    void RunPass(bool final);
    bool SymbolsSettled() const;
    void ProcessLine(size_t sequence);

    // Statement kinds.
    void DefineLabel(CStatement& s, const SToken& name);
    void DefineConstant(CStatement& s, const SToken& name, size_t valueIndex);
    void Directive(CStatement& s);
    void Instruction(CStatement& s);

    // Directives.
    void DataDirective(CStatement& s, uint32_t size, bool isFloat, bool allowStrings);
    void TextDirective(CStatement& s, bool terminate);
    void OrgDirective(CStatement& s);
    void AlignDirective(CStatement& s);
    void FillDirective(CStatement& s);
    void EquDirective(CStatement& s);

    // Instructions.
    struct SOperandText;
    bool SplitOperands(CStatement& s, std::vector<SOperandText>& operands);
    bool ParseOperand(CStatement& s, const SOperandShape& shape, SOperandText& operand);
    void EmitOperand(CStatement& s, const SOperandShape& shape, const SOperandText& operand);
    bool ParseBlockData(CStatement& s, size_t begin, size_t end, std::vector<uint8_t>& bytes);

    // Values and bytes.
    bool EmitValue(CStatement& s, const SValue& value, uint32_t size, bool isFloat,
                   const SToken& at);
    void EmitInteger(uint64_t value, uint32_t size);
    void EmitBytes(const uint8_t* bytes, size_t count);
    void EmitZeros(uint64_t count, CStatement& s, const SToken& at);
    bool CanGrow(uint64_t count, CStatement& s, const SToken& at);

    std::string FullName(const std::string& name) const;
    bool LookupSymbol(CStatement& s, const SToken& name, SValue& value);
    void Define(CStatement& s, const SToken& name, const SValue& value, bool label);

    SAssemblerOptions options;
    CDiagnostics diagnostics;
    std::unique_ptr<CSourceLoader> loader;

    std::unordered_map<std::string, SSymbol> symbols;  // defined in this pass
    std::unordered_map<std::string, SSymbol> previous; // defined in the pass before
    std::string scope;                                 // the last global label
    std::vector<uint8_t> image;
    bool imageFull = false;
    bool finalPass = false;
    std::vector<SListingEntry> listing; // one per source line, final pass only
    bool lineIsInstruction = false;     // set by Instruction for the line in hand
};
