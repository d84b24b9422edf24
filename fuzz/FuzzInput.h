// Reads a fuzz input as a stream of fields. Past the end every field reads as zero, so a
// short input is still a complete (if dull) test case and the fuzzer never has to learn a
// length prefix.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class CFuzzInput {
public:
    CFuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}

    template <typename T>
    T Take() {
        T value{};
        const size_t n = std::min(sizeof(T), Left());
        if (n > 0)
            std::memcpy(&value, data + position, n);
        position += n;
        return value;
    }
    uint8_t Byte() { return Take<uint8_t>(); }
    uint32_t Dword() { return Take<uint32_t>(); }
    // A number in 0 .. limit-1 (limit > 0).
    uint32_t Below(uint32_t limit) { return Dword() % limit; }

    std::vector<uint8_t> Bytes(size_t count) {
        count = std::min(count, Left());
        std::vector<uint8_t> bytes(data + position, data + position + count);
        position += count;
        return bytes;
    }
    std::vector<uint8_t> Rest() { return Bytes(Left()); }
    std::string RestAsText() {
        const std::vector<uint8_t> bytes = Rest();
        return std::string(bytes.begin(), bytes.end());
    }

    size_t Left() const { return size - position; }

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

// Stops the run with a finding: libFuzzer saves the input that led here.
[[noreturn]] void FuzzFinding(const char* what);
