#include "host/PackedFile.h"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace {

// The fastest level: a machine's memory is mostly zeros and repeats, which even it packs
// tightly, and memory that does not pack is stored as it is at once.
constexpr int kCompressionLevel = 1;
// Compressed bytes taken from a file at a time.
constexpr size_t kFileChunk = size_t{256} << 10;
// The longest header a zstd frame can have, which names its content size.
constexpr size_t kFrameHeaderMax = 18;

uint32_t Get32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void Put32(uint8_t* out, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Crc(uint32_t crc, const uint8_t* bytes, size_t size) {
    constexpr size_t kStep = size_t{1} << 30;
    uLong value = crc;
    for (size_t done = 0; done < size; done += kStep)
        value = crc32(value, bytes + done, static_cast<uInt>(std::min(kStep, size - done)));
    return static_cast<uint32_t>(value);
}

uint32_t EmptyCrc() {
    return static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
}

// Writes through a temporary file beside `path` that is renamed over it at the end.
bool WriteThroughTemporary(const std::string& path,
                           const std::function<bool(const PackedSink&)>& write,
                           std::string& error) {
    const std::string temporary = path + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    int writeError = 0;
    const bool written = write([&](const uint8_t* bytes, size_t count) {
        if (std::fwrite(bytes, 1, count, file) == count)
            return true;
        writeError = errno;
        return false;
    });
    if (std::fclose(file) != 0 || !written) {
        error = writeError != 0 ? std::strerror(writeError)
                : written       ? std::strerror(errno)
                                : "cannot compress it";
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

} // namespace

bool PackPieces(const PackedMagic& magic, uint32_t version,
                std::span<const std::span<const uint8_t>> pieces, const PackedSink& sink) {
    uint64_t length = 0;
    uint32_t crc = EmptyCrc();
    for (const std::span<const uint8_t> piece : pieces) {
        length += piece.size();
        crc = Crc(crc, piece.data(), piece.size());
    }
    uint8_t header[kPackedHeaderSize];
    std::memcpy(header, magic, kPackedMagicSize);
    Put32(header + 16, version);
    Put32(header + 20, crc);
    Put32(header + 24, static_cast<uint32_t>(length));
    Put32(header + 28, static_cast<uint32_t>(length >> 32));
    if (!sink(header, kPackedHeaderSize))
        return false;

    std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> context(ZSTD_createCCtx(), &ZSTD_freeCCtx);
    if (!context ||
        ZSTD_isError(
            ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, kCompressionLevel)) ||
        ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(context.get(), length)))
        return false;
    // The frame names its content size (the pledge), as a reader checks before it allocates.
    const size_t outSize = ZSTD_CStreamOutSize();
    std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[outSize]);
    if (!out)
        return false;
    auto pump = [&](ZSTD_inBuffer& in, ZSTD_EndDirective mode) {
        for (;;) {
            ZSTD_outBuffer chunk{out.get(), outSize, 0};
            const size_t left = ZSTD_compressStream2(context.get(), &chunk, &in, mode);
            if (ZSTD_isError(left) || (chunk.pos > 0 && !sink(out.get(), chunk.pos)))
                return false;
            if (mode == ZSTD_e_end ? left == 0 : in.pos == in.size)
                return true;
        }
    };
    for (const std::span<const uint8_t> piece : pieces) {
        ZSTD_inBuffer in{piece.data(), piece.size(), 0};
        if (!pump(in, ZSTD_e_continue))
            return false;
    }
    ZSTD_inBuffer none{nullptr, 0, 0};
    return pump(none, ZSTD_e_end);
}

bool WritePackedFile(const std::string& path, const PackedMagic& magic, uint32_t version,
                     std::span<const std::span<const uint8_t>> pieces, std::string& error) {
    return WriteThroughTemporary(
        path, [&](const PackedSink& sink) { return PackPieces(magic, version, pieces, sink); },
        error);
}

std::vector<uint8_t> PackFile(const PackedMagic& magic, uint32_t version,
                              const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> file;
    file.reserve(kPackedHeaderSize + ZSTD_compressBound(payload.size()));
    const std::span<const uint8_t> pieces[] = {payload};
    if (!PackPieces(magic, version, pieces, [&](const uint8_t* bytes, size_t count) {
            file.insert(file.end(), bytes, bytes + count);
            return true;
        }))
        return {};
    return file;
}

// --- Reading ----------------------------------------------------------------------------

void CPackedReader::SContextDeleter::operator()(ZSTD_DCtx_s* dctx) const {
    ZSTD_freeDCtx(dctx);
}

CPackedReader::CPackedReader(const uint8_t* bytes, size_t count) : input(bytes), inputSize(count) {}

CPackedReader::CPackedReader(FILE* file) : file(file) {}

CPackedReader::~CPackedReader() = default;

bool CPackedReader::Refill() {
    if (!file || readFailed)
        return false;
    if (!fileBuffer) {
        fileBuffer.reset(new (std::nothrow) uint8_t[kFileChunk]);
        if (!fileBuffer) {
            readFailed = true;
            return false;
        }
    }
    // Bytes not taken yet move to the front (only the header's look at the frame leaves any).
    const size_t kept = inputSize - inputPosition;
    std::memmove(fileBuffer.get(), fileBuffer.get() + inputPosition, kept);
    const size_t got = std::fread(fileBuffer.get() + kept, 1, kFileChunk - kept, file);
    if (std::ferror(file))
        readFailed = true;
    input = fileBuffer.get();
    inputSize = kept + got;
    inputPosition = 0;
    return got > 0;
}

bool CPackedReader::Open(const PackedMagic& magic, uint32_t version, const char* kind,
                         uint64_t maxPayload, std::string& error) {
    // The header and the frame's own header (at most 18 bytes) in hand.
    while (inputSize - inputPosition < kPackedHeaderSize + kFrameHeaderMax && Refill()) {
    }
    if (readFailed) {
        error = "cannot read the file";
        return false;
    }
    const uint8_t* header = input + inputPosition;
    const size_t count = inputSize - inputPosition;
    if (count < kPackedMagicSize || std::memcmp(header, magic, kPackedMagicSize) != 0) {
        error = std::string("not ") + kind;
        return false;
    }
    if (count < kPackedHeaderSize) {
        error = "the file is cut off";
        return false;
    }
    const uint32_t fileVersion = Get32(header + 16);
    if (fileVersion != version) {
        error = "format version " + std::to_string(fileVersion) + "; this program reads " +
                std::to_string(version);
        return false;
    }
    expectedCrc = Get32(header + 20);
    const uint64_t length = uint64_t{Get32(header + 24)} | uint64_t{Get32(header + 28)} << 32;
    inputPosition += kPackedHeaderSize;
    // The frame names its size too; both must agree before any memory is asked for.
    const unsigned long long frameSize =
        ZSTD_getFrameContentSize(input + inputPosition, inputSize - inputPosition);
    if (length > maxPayload) {
        error = "the file is damaged (its contents cannot be that large)";
        return false;
    }
    if (frameSize != length) {
        error = "the file is damaged or cut off";
        return false;
    }
    context.reset(ZSTD_createDCtx());
    if (!context) {
        error = "not enough memory for its contents";
        return false;
    }
    payloadSize = length;
    delivered = 0;
    crc = EmptyCrc();
    return true;
}

void CPackedReader::Step(void* out, size_t count, size_t& made) {
    if (inputPosition == inputSize)
        Refill();
    ZSTD_outBuffer target{out, count, 0};
    ZSTD_inBuffer source{input, inputSize, inputPosition};
    const size_t left = ZSTD_decompressStream(context.get(), &target, &source);
    const bool moved = source.pos != inputPosition || target.pos != 0;
    inputPosition = source.pos;
    made = target.pos;
    if (ZSTD_isError(left))
        damaged = true;
    else if (left == 0)
        frameEnded = true;
    // Nothing taken and nothing given although there was room: the input ended (the file is
    // cut off) or the frame cannot go on.
    else if (!moved)
        damaged = true;
}

bool CPackedReader::Decompress(uint8_t* out, size_t count) {
    size_t done = 0;
    while (!damaged && done < count) {
        // The frame says it holds the payload's length: it cannot end before.
        if (frameEnded) {
            damaged = true;
            break;
        }
        size_t made = 0;
        Step(out + done, count - done, made);
        done += made;
    }
    return !damaged;
}

bool CPackedReader::EndFrame() {
    while (!damaged && !frameEnded) {
        uint8_t more = 0;
        size_t made = 0;
        Step(&more, 1, made);
        if (made > 0)
            damaged = true;
    }
    return !damaged;
}

bool CPackedReader::Read(void* out, size_t count) {
    if (!context || count > GetLeft())
        return false;
    auto* bytes = static_cast<uint8_t*>(out);
    if (!Decompress(bytes, count))
        return false;
    crc = Crc(crc, bytes, count);
    delivered += count;
    return true;
}

bool CPackedReader::Finish(std::string& error) {
    if (!context) {
        error = "the file is damaged or cut off";
        return false;
    }
    uint8_t scrap[16384];
    while (!damaged && GetLeft() > 0)
        Read(scrap, static_cast<size_t>(std::min<uint64_t>(GetLeft(), sizeof scrap)));
    // Nothing more may come out of the frame, and nothing may follow it.
    if (EndFrame() && inputPosition == inputSize)
        Refill();
    if (readFailed) {
        error = "cannot read the file";
        return false;
    }
    if (damaged || inputPosition != inputSize) {
        error = "the file is damaged or cut off";
        return false;
    }
    if (crc != expectedCrc) {
        error = "the file is damaged (checksum mismatch)";
        return false;
    }
    return true;
}

bool UnpackFile(const uint8_t* bytes, size_t count, const PackedMagic& magic, uint32_t version,
                const char* kind, uint64_t maxPayload, SPayload& payload, std::string& error) {
    CPackedReader reader(bytes, count);
    if (!reader.Open(magic, version, kind, maxPayload, error))
        return false;
    const uint64_t length = reader.GetPayloadSize();
    // Not cleared: the pages are taken as the decompressor writes them.
    std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[std::max<uint64_t>(length, 1)]);
    if (!out) {
        error = "not enough memory for its contents";
        return false;
    }
    reader.Read(out.get(), length);
    if (!reader.Finish(error))
        return false;
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
    return WriteThroughTemporary(
        path, [&](const PackedSink& sink) { return sink(bytes.data(), bytes.size()); }, error);
}
