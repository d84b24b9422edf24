// Little-endian values into and out of a byte buffer, for the host's binary files (saved
// machine states, recordings). The reader never reads past its end: once a read fails,
// every later one fails too, so a decoder can check once at the end of a record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

class CByteWriter {
public:
    explicit CByteWriter(std::vector<uint8_t>& out) : out(out) {}

    template <typename T>
    void Put(T value) {
        static_assert(std::is_integral_v<T>);
        for (size_t i = 0; i < sizeof(T); ++i)
            out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
    }
    void PutBytes(const void* bytes, size_t count) {
        const auto* p = static_cast<const uint8_t*>(bytes);
        out.insert(out.end(), p, p + count);
    }
    // A length (32 bits) and the bytes.
    void PutString(const std::string& text) {
        Put(static_cast<uint32_t>(text.size()));
        PutBytes(text.data(), text.size());
    }
    size_t GetSize() const { return out.size(); }
    // Overwrites a 32-bit value written before (a length known only later).
    void Patch32(size_t at, uint32_t value) {
        for (size_t i = 0; i < 4; ++i)
            out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }

private:
    std::vector<uint8_t>& out;
};

class CByteReader {
public:
    CByteReader(const uint8_t* bytes, size_t count) : p(bytes), left(count) {}

    template <typename T>
    bool Get(T& value) {
        static_assert(std::is_integral_v<T>);
        if (!Take(sizeof(T)))
            return false;
        const uint8_t* first = p - sizeof(T);
        uint64_t v = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            v |= uint64_t{first[i]} << (8 * i);
        value = static_cast<T>(v);
        return true;
    }
    bool GetBytes(void* bytes, size_t count) {
        if (!Take(count))
            return false;
        if (count > 0)
            std::memcpy(bytes, p - count, count);
        return true;
    }
    // A pointer to the next count bytes, consumed; null when fewer are left.
    const uint8_t* View(size_t count) { return Take(count) ? p - count : nullptr; }
    // A string of at most maxLength bytes, written by PutString.
    bool GetString(std::string& text, size_t maxLength) {
        uint32_t length = 0;
        if (!Get(length) || length > maxLength || !Take(length))
            return false;
        text.assign(reinterpret_cast<const char*>(p - length), length);
        return true;
    }
    // Whether count more items of itemSize bytes can still be there (before allocating).
    bool CanHold(uint64_t count, size_t itemSize) const {
        return ok && count <= left / (itemSize == 0 ? 1 : itemSize);
    }
    size_t GetLeft() const { return left; }
    bool IsOk() const { return ok; }
    bool AtEnd() const { return ok && left == 0; }

private:
    bool Take(size_t count) {
        if (!ok || count > left) {
            ok = false;
            return false;
        }
        p += count;
        left -= count;
        return true;
    }

    const uint8_t* p;
    size_t left;
    bool ok = true;
};
