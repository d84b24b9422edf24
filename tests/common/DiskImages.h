// Helpers for tests of disk images: building image files and reading back what the error
// stack holds.
#pragma once

#include "support/ErrorStack.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testhelpers {

// The bytes of an image file: magic, reserved byte, data area.
inline std::string DiskImageBytes(const std::string& dataArea, char reserved = '\0') {
    return std::string("Tarquil Disk 10") + reserved + dataArea;
}

// A data area that boots: the signed 32-bit boot length, then the program.
inline std::string BootDataArea(const std::vector<uint8_t>& program, int32_t length) {
    std::string area(4, '\0');
    std::memcpy(area.data(), &length, 4);
    area.append(program.begin(), program.end());
    return area;
}
inline std::string BootDataArea(const std::vector<uint8_t>& program) {
    return BootDataArea(program, static_cast<int32_t>(program.size()));
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Empties the error stack and returns its messages, oldest first.
inline std::vector<std::string> TakeErrors() {
    std::vector<std::string> messages;
    std::string text;
    while (qm::PopError(text))
        messages.insert(messages.begin(), text);
    return messages;
}

} // namespace testhelpers
