// Error messages of the assembler, each tied to a place in the source:
// "file:line:column: error: message".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SSourceLocation {
    std::string file;
    uint32_t line = 0;   // 1-based
    uint32_t column = 0; // 1-based, counted in characters
    size_t sequence = 0; // position of the line in the assembled text (includes expanded)
};

struct SDiagnostic {
    SSourceLocation location;
    std::string message;
    bool unreadableFile = false; // a file the source names could not be read
};

class CDiagnostics {
public:
    static constexpr size_t kLimit = 100;

    // Messages are dropped while muted (the assembler's trial passes).
    void SetMuted(bool value) { muted = value; }
    bool IsMuted() const { return muted; }

    void Error(const SSourceLocation& location, std::string message);
    // An error without a place in the source (a file that cannot be read, ...).
    void Error(std::string message);
    // A file that the source names (.include, .incbin) cannot be read: every error after
    // it may only follow from it.
    void FileError(const SSourceLocation& location, std::string message);

    bool HasFileErrors() const;
    // Keeps only the file errors, so that they are not buried under their consequences.
    void KeepOnlyFileErrors();

    bool HasErrors() const { return !messages.empty(); }
    bool IsFull() const { return messages.size() >= kLimit; }
    // Whether a message given now is kept: callers skip the work of wording one that is not.
    bool AcceptsMessages() const { return !muted && !IsFull(); }
    const std::vector<SDiagnostic>& GetMessages() const { return messages; }
    // All messages in source order, one line each.
    std::string Format() const;

private:
    std::vector<SDiagnostic> messages;
    bool muted = false;
};
