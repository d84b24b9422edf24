#include "host/PackedFile.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// deflate never makes data smaller than about 1/1032 of its size.
constexpr uint64_t kMaxRatio = 1032;

bool Inflate(const uint8_t* compressed, size_t count, std::vector<uint8_t>& payload) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return false;
    // zlib counts in 32 bits: sizes above 4 GiB go in steps of 1 GiB.
    constexpr size_t kStep = size_t{1} << 30;
    int result = Z_OK;
    size_t inDone = 0;
    size_t outDone = 0;
    while (result == Z_OK) {
        stream.next_in = const_cast<Bytef*>(compressed) + inDone;
        stream.avail_in = static_cast<uInt>(std::min(count - inDone, kStep));
        stream.next_out = payload.data() + outDone;
        stream.avail_out = static_cast<uInt>(std::min(payload.size() - outDone, kStep));
        const uInt inBefore = stream.avail_in;
        const uInt outBefore = stream.avail_out;
        result = inflate(&stream, Z_NO_FLUSH);
        inDone += inBefore - stream.avail_in;
        outDone += outBefore - stream.avail_out;
    }
    inflateEnd(&stream);
    // The stream ends exactly with the file and fills exactly the declared size.
    return result == Z_STREAM_END && inDone == count && outDone == payload.size();
}

uint32_t Get32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint32_t Crc(const std::vector<uint8_t>& bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    constexpr size_t kStep = size_t{1} << 30;
    for (size_t done = 0; done < bytes.size(); done += kStep)
        crc = crc32(crc, bytes.data() + done,
                    static_cast<uInt>(std::min(kStep, bytes.size() - done)));
    return static_cast<uint32_t>(crc);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

std::vector<uint8_t> PackFile(const char (&magic)[kPackedMagicSize + 1], uint32_t version,
                              const std::vector<uint8_t>& payload) {
    uLongf room = compressBound(static_cast<uLong>(payload.size()));
    std::vector<uint8_t> file(kPackedHeaderSize + room);
    std::memcpy(file.data(), magic, kPackedMagicSize);
    Put32(file, 16, version);
    Put32(file, 20, Crc(payload));
    const uint64_t length = payload.size();
    Put32(file, 24, static_cast<uint32_t>(length));
    Put32(file, 28, static_cast<uint32_t>(length >> 32));
    // The fastest level: a machine's memory is mostly zeros and repeats, which even it packs
    // tightly, and saving must not keep the user waiting.
    if (compress2(file.data() + kPackedHeaderSize, &room, payload.data(),
                  static_cast<uLong>(payload.size()), Z_BEST_SPEED) != Z_OK)
        return {};
    file.resize(kPackedHeaderSize + room);
    return file;
}

bool UnpackFile(const uint8_t* bytes, size_t count, const char (&magic)[kPackedMagicSize + 1],
                uint32_t version, const char* kind, uint64_t maxPayload,
                std::vector<uint8_t>& payload, std::string& error) {
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
    const size_t compressed = count - kPackedHeaderSize;
    if (length > maxPayload || length > compressed * kMaxRatio + 64) {
        error = "the file is damaged or cut off (its contents cannot be that large)";
        return false;
    }
    std::vector<uint8_t> inflated(length);
    if (!Inflate(bytes + kPackedHeaderSize, compressed, inflated)) {
        error = "the file is damaged or cut off";
        return false;
    }
    if (Crc(inflated) != crc) {
        error = "the file is damaged (checksum mismatch)";
        return false;
    }
    payload = std::move(inflated);
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
