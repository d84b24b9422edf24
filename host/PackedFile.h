// The frame of the host's binary files (saved machine states, recordings): a 16-byte magic,
// a format version, the CRC-32 and length of the payload, then the payload compressed with
// zstd to the end of the file. Unpacking refuses a foreign file, another version, a cut or
// damaged one, each with a reason; the memory for the payload is taken from the host as the
// decompressor fills it, and never beyond a bound the caller sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

inline constexpr size_t kPackedMagicSize = 16;
inline constexpr size_t kPackedHeaderSize = 32;

// Empty when the payload cannot be compressed.
std::vector<uint8_t> PackFile(const char (&magic)[kPackedMagicSize + 1], uint32_t version,
                              const std::vector<uint8_t>& payload);

// A payload as it comes out of a file.
struct SPayload {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};

// `kind` names the file in the reason ("a Tarquil machine state").
bool UnpackFile(const uint8_t* bytes, size_t count, const char (&magic)[kPackedMagicSize + 1],
                uint32_t version, const char* kind, uint64_t maxPayload, SPayload& payload,
                std::string& error);

// Whole files in and out.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
// Writes to a temporary file beside `path` and renames it over, so that a failed write
// leaves the previous file as it was.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
