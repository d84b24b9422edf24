#include "host/PackedFile.h"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

// The fastest level: a machine's memory is mostly zeros and repeats, which even it packs
// tightly, and memory that does not pack is stored as it is at once.
constexpr int kCompressionLevel = 1;

uint32_t Get32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Crc(const uint8_t* bytes, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    constexpr size_t kStep = size_t{1} << 30;
    for (size_t done = 0; done < size; done += kStep)
        crc = crc32(crc, bytes + done, static_cast<uInt>(std::min(kStep, size - done)));
    return static_cast<uint32_t>(crc);
}

// The whole frame, which must fill exactly the declared size and end with the file.
bool Decompress(const uint8_t* compressed, size_t count, uint8_t* out, size_t size) {
    std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> context(ZSTD_createDCtx(), &ZSTD_freeDCtx);
    if (!context)
        return false;
    const size_t made = ZSTD_decompressDCtx(context.get(), out, size, compressed, count);
    return !ZSTD_isError(made) && made == size;
}

} // namespace

std::vector<uint8_t> PackFile(const char (&magic)[kPackedMagicSize + 1], uint32_t version,
                              const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> file(kPackedHeaderSize + ZSTD_compressBound(payload.size()));
    std::memcpy(file.data(), magic, kPackedMagicSize);
    Put32(file, 16, version);
    Put32(file, 20, Crc(payload.data(), payload.size()));
    const uint64_t length = payload.size();
    Put32(file, 24, static_cast<uint32_t>(length));
    Put32(file, 28, static_cast<uint32_t>(length >> 32));
    const size_t packed =
        ZSTD_compress(file.data() + kPackedHeaderSize, file.size() - kPackedHeaderSize,
                      payload.data(), payload.size(), kCompressionLevel);
    if (ZSTD_isError(packed))
        return {};
    file.resize(kPackedHeaderSize + packed);
    return file;
}

bool UnpackFile(const uint8_t* bytes, size_t count, const char (&magic)[kPackedMagicSize + 1],
                uint32_t version, const char* kind, uint64_t maxPayload, SPayload& payload,
                std::string& error) {
    if (count < kPackedMagicSize || std::memcmp(bytes, magic, kPackedMagicSize) != 0) {
        error = std::string("not ") + kind;
        return false;
    }
    if (count < kPackedHeaderSize) {
        error = "the file is cut off";
        return false;
    }
    const uint32_t fileVersion = Get32(bytes + 16);
    if (fileVersion != version) {
        error = "format version " + std::to_string(fileVersion) + "; this program reads " +
                std::to_string(version);
        return false;
    }
    const uint32_t crc = Get32(bytes + 20);
    const uint64_t length = uint64_t{Get32(bytes + 24)} | uint64_t{Get32(bytes + 28)} << 32;
    const uint8_t* compressed = bytes + kPackedHeaderSize;
    const size_t compressedSize = count - kPackedHeaderSize;
    // The frame names its size too; both must agree before any memory is asked for.
    const unsigned long long frameSize = ZSTD_getFrameContentSize(compressed, compressedSize);
    if (length > maxPayload) {
        error = "the file is damaged (its contents cannot be that large)";
        return false;
    }
    if (frameSize != length) {
        error = "the file is damaged or cut off";
        return false;
    }
    // Not cleared: the pages are taken as the decompressor writes them.
    std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[std::max<uint64_t>(length, 1)]);
    if (!out) {
        error = "not enough memory for its contents";
        return false;
    }
    if (!Decompress(compressed, compressedSize, out.get(), length)) {
        error = "the file is damaged or cut off";
        return false;
    }
    if (Crc(out.get(), length) != crc) {
        error = "the file is damaged (checksum mismatch)";
        return false;
    }
    payload.bytes = std::move(out);
    payload.size = length;
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    bytes.clear();
    std::vector<uint8_t> chunk(1 << 20);
    for (;;) {
        const size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<ptrdiff_t>(got));
        if (got < chunk.size())
            break;
    }
    if (std::ferror(file.get())) {
        error = "cannot read the file";
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string& error) {
    const std::string temporary = path + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = errno;
    if (std::fclose(file) != 0 || !written) {
        error = std::strerror(written ? errno : writeError);
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
