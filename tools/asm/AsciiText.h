// ASCII case for the assembly language's words (directives, register names, "none"): the
// language's names are ASCII, whatever code page the program's own texts use.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

inline std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

inline bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}
