#include "tools/asm/CodePage.h"

#include <array>

namespace {

// 0x80 - 0x9F; 0 marks the bytes the code page leaves unassigned.
constexpr std::array<uint16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

bool EncodeCodePage(uint32_t codePoint, uint8_t& byte) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        byte = static_cast<uint8_t>(codePoint);
        return true;
    }
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == codePoint) {
            byte = static_cast<uint8_t>(0x80 + i);
            return true;
        }
    }
    return false;
}

bool DecodeCodePage(uint8_t byte, uint32_t& codePoint) {
    if (byte < 0x80 || byte >= 0xA0) {
        codePoint = byte;
        return true;
    }
    codePoint = kHighControls[byte - 0x80];
    return codePoint != 0;
}

bool DecodeUtf8(std::string_view text, size_t& position, uint32_t& codePoint) {
    const auto byteAt = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byteAt(position);
    size_t length = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        ++position;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        ++position;
        return false;
    }
    if (position + length > text.size()) {
        ++position;
        return false;
    }
    for (size_t i = 1; i < length; ++i) {
        const uint8_t next = byteAt(position + i);
        if ((next & 0xC0) != 0x80) {
            ++position;
            return false;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        ++position;
        return false;
    }
    position += length;
    return true;
}
