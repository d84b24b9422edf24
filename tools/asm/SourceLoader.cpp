#include "tools/asm/SourceLoader.h"

#include "tools/asm/AsciiText.h"
#include "tools/asm/StandardInclude.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string DirectoryOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string() : parent.string();
}

std::string Join(const std::string& directory, const std::string& name) {
    if (directory.empty() || fs::path(name).is_absolute())
        return name;
    return (fs::path(directory) / name).lexically_normal().string();
}

std::string IdentityOf(const std::string& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    return ec ? fs::path(path).lexically_normal().string() : canonical.string();
}

} // namespace

bool ReadTextFile(const std::string& path, std::string& text) {
    // Only regular files of a sane size: a device or a pipe could feed bytes forever.
    std::error_code ec;
    if (!fs::is_regular_file(path, ec) || fs::file_size(path, ec) > kMaxSourceFileSize || ec)
        return false;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad())
        return false;
    text = content.str();
    return true;
}

CSourceLoader::CSourceLoader(CDiagnostics& diagnostics, FileReader reader,
                             std::vector<std::string> includeDirectories, size_t maxLines)
    : diagnostics(diagnostics), reader(std::move(reader)),
      includeDirectories(std::move(includeDirectories)), maxLines(maxLines) {}

bool CSourceLoader::LoadFile(const std::string& path) {
    std::string text;
    if (!reader(path, text)) {
        diagnostics.Error("cannot read source file \"" + path + "\"");
        return false;
    }
    return LoadText(path, text);
}

bool CSourceLoader::LoadText(const std::string& name, const std::string& text) {
    AddText(name, IdentityOf(name), text);
    return !diagnostics.HasErrors();
}

SSourceLocation CSourceLoader::Locate(size_t sequence, uint32_t column) const {
    SSourceLocation location;
    if (sequence < lines.size()) {
        location.file = fileNames[lines[sequence].file];
        location.line = lines[sequence].number;
    }
    location.column = column;
    location.sequence = sequence;
    return location;
}

void CSourceLoader::AddText(const std::string& displayName, const std::string& identity,
                            const std::string& text) {
    const uint32_t file = static_cast<uint32_t>(fileNames.size());
    fileNames.push_back(displayName);
    stack.push_back({identity, DirectoryOf(displayName)});
    const bool mainFile = stack.size() == 1;

    size_t start = 0;
    uint32_t number = 0;
    while (start <= text.size() && !tooLarge) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            if (start == text.size())
                break; // no line after the final newline
            end = text.size();
        }
        if (lines.size() >= maxLines) {
            diagnostics.Error(Locate(lines.size() - 1, 1), "the source is too large (more than " +
                                                               std::to_string(maxLines) +
                                                               " lines with includes)");
            tooLarge = true;
            break;
        }
        SSourceLine line;
        line.file = file;
        line.number = ++number;
        line.text = text.substr(start, end - start);
        if (!line.text.empty() && line.text.back() == '\r')
            line.text.pop_back();
        line.inMainFile = mainFile;
        const size_t sequence = lines.size();
        lines.push_back(std::move(line));
        SSourceLine& added = lines.back();
        added.usable =
            LexLine(added.text, added.tokens, [&](uint32_t column, const std::string& message) {
                diagnostics.Error(Locate(sequence, column), message);
            });
        if (added.usable)
            HandleFileDirective(sequence);
        start = end + 1;
    }
    stack.pop_back();
}

// ".include" and ".incbin" (after any labels) take effect while loading.
void CSourceLoader::HandleFileDirective(size_t sequence) {
    const std::vector<SToken>& tokens = lines[sequence].tokens;
    size_t i = 0;
    while (
        (tokens[i].kind == ETokenKind::Identifier || tokens[i].kind == ETokenKind::DotIdentifier) &&
        tokens[i + 1].Is(":"))
        i += 2;
    if (tokens[i].kind != ETokenKind::DotIdentifier)
        return;
    const std::string directive = AsciiLower(tokens[i].text);
    if (directive != ".include" && directive != ".incbin")
        return;
    const SToken& operand = tokens[i + 1];
    if (operand.kind != ETokenKind::String || !tokens[i + 2].IsEnd()) {
        diagnostics.Error(Locate(sequence, operand.column),
                          directive + " takes one file name in double quotes");
        return;
    }
    if (directive == ".incbin") {
        std::vector<uint8_t> bytes;
        if (ResolveBinary(operand.text, sequence, operand.column, bytes))
            lines[sequence].binary = std::move(bytes);
        return;
    }
    if (stack.size() >= kMaxIncludeDepth) {
        diagnostics.Error(Locate(sequence, operand.column), "includes nested more than " +
                                                                std::to_string(kMaxIncludeDepth) +
                                                                " deep");
        return;
    }
    std::string displayName, identity, text;
    if (!ResolveInclude(operand.text, sequence, operand.column, displayName, identity, text))
        return;
    for (const SIncludeFrame& frame : stack) {
        if (frame.identity == identity) {
            diagnostics.Error(Locate(sequence, operand.column),
                              "\"" + operand.text + "\" includes itself");
            return;
        }
    }
    AddText(displayName, identity, text);
}

bool CSourceLoader::ResolveInclude(const std::string& name, size_t sequence, uint32_t column,
                                   std::string& displayName, std::string& identity,
                                   std::string& text) {
    std::vector<std::string> candidates;
    candidates.push_back(Join(stack.back().directory, name));
    for (const std::string& directory : includeDirectories)
        candidates.push_back(Join(directory, name));
    for (const std::string& candidate : candidates) {
        if (reader(candidate, text)) {
            displayName = candidate;
            identity = IdentityOf(candidate);
            return true;
        }
    }
    if (name == kStandardIncludeName) {
        displayName = std::string(kStandardIncludeName);
        identity = "<standard>/" + displayName;
        text = std::string(StandardIncludeText());
        return true;
    }
    diagnostics.FileError(Locate(sequence, column), "cannot find include file \"" + name + "\"");
    return false;
}

bool CSourceLoader::ResolveBinary(const std::string& name, size_t sequence, uint32_t column,
                                  std::vector<uint8_t>& bytes) {
    std::vector<std::string> candidates;
    candidates.push_back(Join(stack.back().directory, name));
    for (const std::string& directory : includeDirectories)
        candidates.push_back(Join(directory, name));
    std::string text;
    for (const std::string& candidate : candidates) {
        if (reader(candidate, text)) {
            bytes.assign(text.begin(), text.end());
            return true;
        }
    }
    diagnostics.FileError(Locate(sequence, column), "cannot find binary file \"" + name + "\"");
    return false;
}
