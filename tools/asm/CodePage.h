// The machine's code page, Windows-1252, as the toolchain needs it: source files are UTF-8,
// the bytes a program holds are single bytes of the code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The code-page byte for a Unicode code point; false when the code page has none.
bool EncodeCodePage(uint32_t codePoint, uint8_t& byte);
// The Unicode code point of a code-page byte; false for the five unassigned bytes.
bool DecodeCodePage(uint8_t byte, uint32_t& codePoint);

// Decodes one UTF-8 sequence at `position`, advancing it; false (advancing by one byte) on a
// malformed, overlong or surrogate sequence.
bool DecodeUtf8(std::string_view text, size_t& position, uint32_t& codePoint);
