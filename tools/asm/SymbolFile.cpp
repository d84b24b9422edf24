#include "tools/asm/SymbolFile.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* kMagic = "tarquil-symbols 1";

bool ParseUnsigned(const std::string& text, uint64_t& value) {
    if (text.empty())
        return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.c_str() + (hex ? 2 : 0);
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(begin, &end, hex ? 16 : 10);
    return errno == 0 && *end == '\0' && end != begin && *begin != '-' && *begin != '+';
}

bool ParseSigned(const std::string& text, int64_t& value) {
    const bool negative = !text.empty() && text[0] == '-';
    uint64_t magnitude;
    if (!ParseUnsigned(negative ? text.substr(1) : text, magnitude))
        return false;
    if (magnitude > (negative ? uint64_t{1} << 63 : uint64_t{INT64_MAX}))
        return false;
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool ParseAddress(const std::string& text, uint32_t& address) {
    uint64_t value;
    if (!ParseUnsigned(text, value) || value > UINT32_MAX)
        return false;
    address = static_cast<uint32_t>(value);
    return true;
}

std::string Hex8(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08" PRIx64, value);
    return text;
}

} // namespace

uint32_t CSymbolFile::AddFile(const std::string& name) {
    const auto it = std::find(files.begin(), files.end(), name);
    if (it != files.end())
        return static_cast<uint32_t>(it - files.begin());
    files.push_back(name);
    return static_cast<uint32_t>(files.size() - 1);
}

void CSymbolFile::AddSymbol(const std::string& name, int64_t value, bool label) {
    symbols.push_back({name, value, label});
    sorted = false;
}

void CSymbolFile::AddLine(uint32_t address, uint32_t file, uint32_t line) {
    lines.push_back({address, file, line});
    sorted = false;
}

void CSymbolFile::Sort() const {
    if (sorted)
        return;
    std::stable_sort(symbols.begin(), symbols.end(), [](const SSymbol& a, const SSymbol& b) {
        return a.value != b.value ? a.value < b.value : a.name < b.name;
    });
    std::stable_sort(lines.begin(), lines.end(),
                     [](const SLine& a, const SLine& b) { return a.address < b.address; });
    sorted = true;
}

std::string CSymbolFile::Write() const {
    Sort();
    std::string text = std::string(kMagic) + "\n";
    for (size_t i = 0; i < files.size(); ++i)
        text += "file " + std::to_string(i) + " " + files[i] + "\n";
    for (const SSymbol& symbol : symbols) {
        if (symbol.label && symbol.value >= 0 && symbol.value <= UINT32_MAX)
            text += "label " + Hex8(static_cast<uint64_t>(symbol.value)) + " " + symbol.name + "\n";
        else
            text += "const " + std::to_string(symbol.value) + " " + symbol.name + "\n";
    }
    for (const SLine& line : lines)
        text += "line " + Hex8(line.address) + " " + std::to_string(line.file) + " " +
                std::to_string(line.line) + "\n";
    return text;
}

bool CSymbolFile::Read(const std::string& text, std::string& error) {
    CSymbolFile read;
    std::istringstream stream(text);
    std::string line;
    uint32_t number = 0;
    bool magicSeen = false;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    while (std::getline(stream, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        if (!magicSeen) {
            if (line != kMagic)
                return fail("not a symbol file (it starts with \"" + std::string(kMagic) + "\")");
            magicSeen = true;
            continue;
        }
        std::istringstream words(line);
        std::string kind, first, second, third;
        words >> kind >> first;
        if (kind == "file") {
            // The name is the rest of the line: it may hold blanks.
            const size_t at = line.find(' ', line.find(first, 4)) + 1;
            uint64_t index;
            if (!ParseUnsigned(first, index) || index != read.files.size() || at == 0 ||
                at >= line.size())
                return fail("a file line is \"file INDEX NAME\", indices counting from 0");
            read.files.push_back(line.substr(at));
        } else if (kind == "label" || kind == "const") {
            words >> second;
            int64_t value = 0;
            uint32_t address = 0;
            const bool ok =
                kind == "label" ? ParseAddress(first, address) : ParseSigned(first, value);
            if (!ok || second.empty() || !(words >> third).fail())
                return fail("a symbol line is \"" + kind + " VALUE NAME\"");
            read.AddSymbol(second, kind == "label" ? int64_t{address} : value, kind == "label");
        } else if (kind == "line") {
            words >> second >> third;
            uint32_t address, file, source;
            if (!ParseAddress(first, address) || !ParseAddress(second, file) ||
                !ParseAddress(third, source) || file >= read.files.size())
                return fail("a line line is \"line ADDRESS FILE-INDEX LINE\"");
            read.AddLine(address, file, source);
        } else {
            return fail("unknown entry \"" + kind + "\"");
        }
    }
    if (!magicSeen)
        return fail("not a symbol file (it is empty)");
    *this = std::move(read);
    return true;
}

bool CSymbolFile::Load(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!Read(text.str(), error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

void CSymbolFile::Relocate(uint32_t offset) {
    for (SSymbol& symbol : symbols)
        if (symbol.label)
            symbol.value = static_cast<uint32_t>(symbol.value + offset);
    for (SLine& line : lines)
        line.address += offset;
    sorted = false;
}

std::optional<int64_t> CSymbolFile::Find(const std::string& name) const {
    for (const SSymbol& symbol : symbols)
        if (symbol.name == name)
            return symbol.value;
    return std::nullopt;
}

const CSymbolFile::SSymbol* CSymbolFile::LabelAtOrBelow(uint32_t address) const {
    Sort();
    const SSymbol* found = nullptr;
    for (const SSymbol& symbol : symbols) {
        if (!symbol.label)
            continue;
        if (symbol.value > address)
            break;
        // Of several labels at one address the first by name; a later address wins.
        if (!found || symbol.value != found->value)
            found = &symbol;
    }
    return found;
}

const CSymbolFile::SSymbol* CSymbolFile::LabelAt(uint32_t address) const {
    const SSymbol* symbol = LabelAtOrBelow(address);
    return symbol && symbol->value == address ? symbol : nullptr;
}

const CSymbolFile::SLine* CSymbolFile::LineAt(uint32_t address) const {
    Sort();
    const auto it = std::lower_bound(lines.begin(), lines.end(), address,
                                     [](const SLine& l, uint32_t a) { return l.address < a; });
    return it != lines.end() && it->address == address ? &*it : nullptr;
}

std::string CSymbolFile::SourceOf(uint32_t address) const {
    const SLine* line = LineAt(address);
    if (!line)
        return {};
    return files[line->file] + ":" + std::to_string(line->line);
}

std::optional<uint32_t> CSymbolFile::AddressOfLine(const std::string& file, uint32_t line) const {
    Sort();
    for (const SLine& entry : lines)
        if (entry.line == line && files[entry.file] == file)
            return entry.address;
    return std::nullopt;
}
