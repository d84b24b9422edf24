#include "devices/SlotList.h"

#include "support/TextFunctions.h"

#include <algorithm>

namespace {

std::string Trimmed(std::string text) {
    qm::Trim(text);
    return text;
}

// Marks the slots first .. last that exist.
void MarkRange(std::vector<bool>& flags, int64_t first, int64_t last) {
    const int64_t begin = std::max<int64_t>(first, 0);
    const int64_t end = std::min<int64_t>(last, static_cast<int64_t>(flags.size()) - 1);
    for (int64_t slot = begin; slot <= end; ++slot)
        flags[static_cast<size_t>(slot)] = true;
}

} // namespace

std::vector<bool> ParseSlotList(const std::string& list, int32_t count) {
    std::vector<bool> flags(static_cast<size_t>(std::max(count, 0)), false);
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        const std::string piece = Trimmed(list.substr(start, comma - start));
        start = comma + 1;
        if (piece.empty())
            continue;
        const size_t dash = piece.find('-');
        if (dash == std::string::npos) {
            const int32_t slot = qm::StrToInt(piece);
            MarkRange(flags, slot, slot);
            continue;
        }
        const std::string first = Trimmed(piece.substr(0, dash));
        const std::string last = Trimmed(piece.substr(dash + 1));
        MarkRange(flags, first.empty() ? 0 : qm::StrToInt(first),
                  last.empty() ? int64_t{count} - 1 : qm::StrToInt(last));
    }
    return flags;
}
