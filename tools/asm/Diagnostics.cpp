#include "tools/asm/Diagnostics.h"

#include <algorithm>

void CDiagnostics::Error(const SSourceLocation& location, std::string message) {
    if (!AcceptsMessages())
        return;
    messages.push_back({location, std::move(message)});
}

void CDiagnostics::Error(std::string message) {
    if (!AcceptsMessages())
        return;
    messages.push_back({SSourceLocation{}, std::move(message)});
}

void CDiagnostics::FileError(const SSourceLocation& location, std::string message) {
    // Always kept, even past the limit: it is the one message that explains the others.
    if (muted)
        return;
    messages.push_back({location, std::move(message), true});
}

bool CDiagnostics::HasFileErrors() const {
    return std::any_of(messages.begin(), messages.end(),
                       [](const SDiagnostic& d) { return d.unreadableFile; });
}

void CDiagnostics::KeepOnlyFileErrors() {
    std::erase_if(messages, [](const SDiagnostic& d) { return !d.unreadableFile; });
}

std::string CDiagnostics::Format() const {
    std::vector<const SDiagnostic*> ordered;
    for (const SDiagnostic& d : messages)
        ordered.push_back(&d);
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto* a, const auto* b) {
        if (a->location.sequence != b->location.sequence)
            return a->location.sequence < b->location.sequence;
        return a->location.column < b->location.column;
    });
    std::string text;
    for (const SDiagnostic* d : ordered) {
        const SSourceLocation& at = d->location;
        if (!at.file.empty()) {
            text +=
                at.file + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": ";
        }
        text += "error: " + d->message + "\n";
    }
    if (IsFull())
        text += "error: too many errors, stopped reporting\n";
    return text;
}
