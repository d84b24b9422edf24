#include "tools/asm/Assembler.h"

#include "tools/asm/Registers.h"
#include "tools/asm/Statement.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

bool SameValue(const SValue& a, const SValue& b) {
    if (a.kind != b.kind || a.raw != b.raw)
        return false;
    if (a.IsFloat())
        return std::memcmp(&a.real, &b.real, sizeof a.real) == 0;
    return a.integer == b.integer;
}

} // namespace

CAssembler::CAssembler(SAssemblerOptions options) : options(std::move(options)) {
    if (!this->options.reader)
        this->options.reader = ReadTextFile;
    loader =
        std::make_unique<CSourceLoader>(diagnostics, this->options.reader,
                                        this->options.includeDirectories, this->options.maxLines);
}

bool CAssembler::AssembleFile(const std::string& path) {
    // Lexical errors are reported while loading; the passes still check the rest. A file
    // that cannot be read ends the run at once.
    if (!loader->LoadFile(path) && loader->GetLines().empty())
        return false;
    return RunUnlessAFileIsMissing();
}

bool CAssembler::AssembleText(const std::string& name, const std::string& text) {
    loader->LoadText(name, text);
    return RunUnlessAFileIsMissing();
}

bool CAssembler::RunUnlessAFileIsMissing() {
    // Without an included file its symbols are undefined everywhere: the passes would
    // only bury the one message that matters under its consequences.
    if (diagnostics.HasFileErrors()) {
        diagnostics.KeepOnlyFileErrors();
        return false;
    }
    return Run();
}

bool CAssembler::Run() {
    previous.clear();
    for (int pass = 0; pass < kMaxTrialPasses; ++pass) {
        RunPass(false);
        const bool settled = pass > 0 && SymbolsSettled();
        previous = std::move(symbols);
        if (settled)
            break;
    }
    RunPass(true);
    // Errors elsewhere can move labels by themselves; only a clean run is checked.
    if (!diagnostics.HasErrors()) {
        for (const auto& [name, symbol] : symbols) {
            const auto it = previous.find(name);
            if (it == previous.end() || !SameValue(it->second.value, symbol.value)) {
                diagnostics.Error(loader->Locate(symbol.sequence, symbol.column),
                                  "the addresses do not settle: \"" + name +
                                      "\" moves with every pass");
                break;
            }
        }
    }
    return !diagnostics.HasErrors();
}

bool CAssembler::SymbolsSettled() const {
    if (symbols.size() != previous.size())
        return false;
    for (const auto& [name, symbol] : symbols) {
        const auto it = previous.find(name);
        if (it == previous.end() || !SameValue(it->second.value, symbol.value))
            return false;
    }
    return true;
}

void CAssembler::RunPass(bool final) {
    finalPass = final;
    diagnostics.SetMuted(!final);
    symbols.clear();
    scope.clear();
    image.clear();
    imageFull = false;
    listing.clear();
    const auto& lines = loader->GetLines();
    if (final)
        listing.resize(lines.size());
    for (size_t sequence = 0; sequence < lines.size(); ++sequence) {
        if (final && diagnostics.IsFull())
            break;
        const size_t before = image.size();
        lineIsInstruction = false;
        if (lines[sequence].usable)
            ProcessLine(sequence);
        if (final)
            listing[sequence] = {static_cast<uint32_t>(before), before, image.size() - before,
                                 lineIsInstruction};
    }
    diagnostics.SetMuted(false);
}

void CAssembler::ProcessLine(size_t sequence) {
    const SSourceLine& line = loader->GetLines()[sequence];
    CStatement s(*this, sequence, line.tokens, static_cast<int64_t>(image.size()));
    while (
        (s.Peek().kind == ETokenKind::Identifier || s.Peek().kind == ETokenKind::DotIdentifier) &&
        s.Peek(1).Is(":")) {
        DefineLabel(s, s.Peek());
        s.index += 2;
    }
    if (s.AtEnd())
        return;
    const SToken& first = s.Peek();
    if (first.kind == ETokenKind::Identifier && s.Peek(1).Is("="))
        DefineConstant(s, first, s.index + 2);
    else if (first.kind == ETokenKind::DotIdentifier)
        Directive(s);
    else if (first.kind == ETokenKind::Identifier)
        Instruction(s);
    else
        s.Error(first, "expected a label, a directive or an instruction, not " +
                           CStatement::Describe(first));
}

std::string CAssembler::FullName(const std::string& name) const {
    return !name.empty() && name[0] == '.' ? scope + name : name;
}

void CAssembler::DefineLabel(CStatement& s, const SToken& name) {
    if (name.kind == ETokenKind::Identifier)
        scope = name.text;
    Define(s, name, SValue::Int(s.address), true);
}

void CAssembler::DefineConstant(CStatement& s, const SToken& name, size_t valueIndex) {
    s.index = valueIndex;
    SValue value;
    const bool ok = s.Expression(value);
    if (ok && !s.ExpectEnd())
        return;
    // A constant whose value failed is still defined, so that its uses raise no more errors.
    Define(s, name, value, false);
}

void CAssembler::Define(CStatement& s, const SToken& name, const SValue& value, bool label) {
    if (IsReservedName(name.text)) {
        s.Error(name, "\"" + name.text + "\" is reserved (a register name or \"none\")");
        return;
    }
    const std::string full = FullName(name.text);
    const auto [it, added] = symbols.try_emplace(full);
    if (!added) {
        const SSourceLocation first = loader->Locate(it->second.sequence, it->second.column);
        s.Error(name, "\"" + full + "\" is already defined at " + first.file + ":" +
                          std::to_string(first.line));
        return;
    }
    it->second.value = value;
    it->second.sequence = s.sequence;
    it->second.column = name.column;
    it->second.label = label;
}

bool CAssembler::LookupSymbol(CStatement& s, const SToken& name, SValue& value) {
    uint32_t address = 0;
    if (name.kind == ETokenKind::Identifier && LookupRegister(name.text, address)) {
        value = SValue::Int(address);
        return true;
    }
    const std::string full = FullName(name.text);
    if (const auto it = symbols.find(full); it != symbols.end()) {
        value = it->second.value;
        return value.known;
    }
    if (const auto it = previous.find(full); it != previous.end()) {
        value = it->second.value;
        // Still unknown after the trial passes: nothing can give it a value.
        if (!value.known && finalPass) {
            s.Error(name,
                    "\"" + full + "\" has no value (its definition depends on itself or failed)");
            value.known = true;
        }
        return value.known && it->second.value.known;
    }
    // Unknown in a trial pass: maybe defined further down. In the final pass: an error.
    value = SValue::Int(0);
    value.known = finalPass;
    if (finalPass)
        s.Error(name, "undefined symbol \"" + full + "\"");
    return false;
}

std::optional<int64_t> CAssembler::GetSymbol(const std::string& name) const {
    const auto it = symbols.find(name);
    if (it == symbols.end() || it->second.value.IsFloat())
        return std::nullopt;
    return it->second.value.integer;
}

// --- Bytes -------------------------------------------------------------------------------

bool CAssembler::CanGrow(uint64_t count, CStatement& s, const SToken& at) {
    if (imageFull)
        return false;
    if (count > options.maxImageSize - image.size()) {
        s.Error(at,
                "the program grows beyond " + std::to_string(options.maxImageSize >> 20) + " MiB");
        imageFull = true;
        return false;
    }
    return true;
}

void CAssembler::EmitBytes(const uint8_t* bytes, size_t count) {
    if (imageFull)
        return;
    image.insert(image.end(), bytes, bytes + count);
}

void CAssembler::EmitInteger(uint64_t value, uint32_t size) {
    uint8_t bytes[8];
    for (uint32_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    EmitBytes(bytes, size);
}

void CAssembler::EmitZeros(uint64_t count, CStatement& s, const SToken& at) {
    if (CanGrow(count, s, at))
        image.resize(image.size() + count, 0);
}

std::string CAssembler::GetListing() const {
    std::string text;
    const auto& lines = loader->GetLines();
    char buffer[64];
    for (size_t sequence = 0; sequence < listing.size(); ++sequence) {
        const SSourceLine& line = lines[sequence];
        const SListingEntry& entry = listing[sequence];
        if (!line.inMainFile && entry.byteCount == 0)
            continue;
        // At most four rows of eight bytes per line; longer data ends with "...".
        const size_t available =
            entry.firstByte < image.size() ? image.size() - entry.firstByte : 0;
        const size_t shown = std::min<size_t>({entry.byteCount, available, 32});
        size_t row = 0;
        do {
            std::string bytes;
            for (size_t i = row; i < shown && i < row + 8; ++i) {
                std::snprintf(buffer, sizeof buffer, "%s%02X", bytes.empty() ? "" : " ",
                              image[entry.firstByte + i]);
                bytes += buffer;
            }
            if (row + 8 >= shown && entry.byteCount > shown)
                bytes += " ...";
            std::snprintf(buffer, sizeof buffer, "%08X  %-27s",
                          entry.address + static_cast<uint32_t>(row), bytes.c_str());
            text += buffer;
            if (row == 0)
                text += "  " + line.text;
            while (!text.empty() && text.back() == ' ')
                text.pop_back();
            text += '\n';
            row += 8;
        } while (row < shown);
    }
    const CSymbolFile symbolFile = GetSymbolFile();
    if (symbolFile.GetSymbols().empty())
        return text;
    text += "\nSymbols\n";
    for (const CSymbolFile::SSymbol& symbol : symbolFile.GetSymbols()) {
        if (symbol.label)
            std::snprintf(buffer, sizeof buffer, "%08X  ", static_cast<uint32_t>(symbol.value));
        else
            std::snprintf(buffer, sizeof buffer, "%-8lld= ", static_cast<long long>(symbol.value));
        text += buffer + symbol.name + "\n";
    }
    return text;
}

CSymbolFile CAssembler::GetSymbolFile() const {
    CSymbolFile file;
    const auto& lines = loader->GetLines();
    for (size_t sequence = 0; sequence < listing.size(); ++sequence) {
        const SListingEntry& entry = listing[sequence];
        if (!entry.instruction || entry.byteCount == 0)
            continue;
        const SSourceLocation where = loader->Locate(sequence, 0);
        file.AddLine(entry.address, file.AddFile(where.file), lines[sequence].number);
    }
    for (const auto& [name, symbol] : symbols)
        if (symbol.value.known && !symbol.value.IsFloat())
            file.AddSymbol(name, symbol.value.integer, symbol.label);
    return file;
}
