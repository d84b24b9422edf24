// The frame of the host's binary files (saved machine states, recordings): a 16-byte magic,
// a format version, the CRC-32 and length of the payload, then the payload compressed with
// zstd to the end of the file. Unpacking refuses a foreign file, another version, a cut or
// damaged one, each with a reason. Both directions stream: a payload is packed from pieces
// where they lie (a machine's memory is not copied into it first), and a reader hands the
// payload out piece by piece into the buffers that keep it, never beyond a bound the caller
// sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct ZSTD_DCtx_s;

inline constexpr size_t kPackedMagicSize = 16;
inline constexpr size_t kPackedHeaderSize = 32;

using PackedMagic = char[kPackedMagicSize + 1];

// Takes the file's bytes in order; false stops the packing (the sink could not write).
using PackedSink = std::function<bool(const uint8_t* bytes, size_t count)>;

// Packs the payload made of `pieces` in order. False when it cannot be compressed or the sink
// refused.
bool PackPieces(const PackedMagic& magic, uint32_t version,
                std::span<const std::span<const uint8_t>> pieces, const PackedSink& sink);

// The same into a file: written to a temporary file beside `path` and renamed over it, so
// that a failed write leaves the previous file as it was.
bool WritePackedFile(const std::string& path, const PackedMagic& magic, uint32_t version,
                     std::span<const std::span<const uint8_t>> pieces, std::string& error);

// Empty when the payload cannot be compressed.
std::vector<uint8_t> PackFile(const PackedMagic& magic, uint32_t version,
                              const std::vector<uint8_t>& payload);

// The payload of a packed file as a reader asks for it. Open checks the header; Read then
// decompresses the next bytes of the payload into the caller's buffer; Finish checks that
// the payload was whole, that the frame ends with the file and that the checksum matches.
// A caller that found the payload's contents wrong calls Finish too: damage to the file is
// the better reason.
class CPackedReader {
public:
    // The file's bytes in memory (they must outlive the reader).
    CPackedReader(const uint8_t* bytes, size_t count);
    // An open file, read from where it stands.
    explicit CPackedReader(FILE* file);
    ~CPackedReader();
    CPackedReader(const CPackedReader&) = delete;
    CPackedReader& operator=(const CPackedReader&) = delete;

    // `kind` names the file in the reason ("a Tarquil machine state").
    bool Open(const PackedMagic& magic, uint32_t version, const char* kind, uint64_t maxPayload,
              std::string& error);
    uint64_t GetPayloadSize() const { return payloadSize; }
    // Payload bytes not read yet.
    uint64_t GetLeft() const { return payloadSize - delivered; }
    // The next `count` bytes of the payload; false when fewer are left or the file is
    // damaged (Finish says which).
    bool Read(void* out, size_t count);
    // Reads what is left of the payload into nothing and checks the file's end and checksum.
    bool Finish(std::string& error);

private:
    // More compressed bytes into `input`; false at the file's end or on a read error.
    bool Refill();
    // One call of the decompressor into `out`; `made` bytes came out.
    void Step(void* out, size_t count, size_t& made);
    bool Decompress(uint8_t* out, size_t count);
    // The frame's end after the payload's last byte; false when more comes out or it is cut off.
    bool EndFrame();

    FILE* file = nullptr;
    const uint8_t* input = nullptr;
    size_t inputSize = 0;
    size_t inputPosition = 0;
    std::unique_ptr<uint8_t[]> fileBuffer;
    bool readFailed = false;

    struct SContextDeleter {
        void operator()(ZSTD_DCtx_s* context) const;
    };
    std::unique_ptr<ZSTD_DCtx_s, SContextDeleter> context;
    uint64_t payloadSize = 0;
    uint64_t delivered = 0;
    uint32_t expectedCrc = 0;
    uint32_t crc = 0;
    bool damaged = false;
    bool frameEnded = false;
};

// A payload as it comes out of a file.
struct SPayload {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};

// The whole payload of a file's bytes at once.
bool UnpackFile(const uint8_t* bytes, size_t count, const PackedMagic& magic, uint32_t version,
                const char* kind, uint64_t maxPayload, SPayload& payload, std::string& error);

// Whole files in and out.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
// Writes to a temporary file beside `path` and renames it over, so that a failed write
// leaves the previous file as it was.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
