#include "host/audio/WavWriter.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint32_t kHeaderBytes = 44;
// The sizes in the header are 32-bit; the data stops growing before they would overflow.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFu - kHeaderBytes;

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = v & 0xFF;
    p[1] = v >> 8;
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = (v >> (8 * i)) & 0xFF;
}
} // namespace

CWavWriter::~CWavWriter() {
    Close();
}

bool CWavWriter::Open(const std::string& path) {
    Close();
    file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    dataBytes = 0;
    failed = !WriteHeader(0);
    return true;
}

bool CWavWriter::WriteHeader(uint64_t bytes) {
    const uint16_t blockAlign = channels * 2;
    uint8_t header[kHeaderBytes];
    std::memcpy(header, "RIFF", 4);
    PutU32(header + 4, static_cast<uint32_t>(36 + bytes));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    PutU32(header + 16, 16);
    PutU16(header + 20, 1); // PCM
    PutU16(header + 22, channels);
    PutU32(header + 24, sampleRate);
    PutU32(header + 28, sampleRate * blockAlign);
    PutU16(header + 32, blockAlign);
    PutU16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    PutU32(header + 40, static_cast<uint32_t>(bytes));
    return std::fseek(file, 0, SEEK_SET) == 0 &&
           std::fwrite(header, 1, kHeaderBytes, file) == kHeaderBytes;
}

void CWavWriter::Append(const int16_t* interleaved, size_t frames) {
    if (!file || failed)
        return;
    const uint64_t frameBytes = uint64_t{channels} * 2;
    frames =
        static_cast<size_t>(std::min<uint64_t>(frames, (kMaxDataBytes - dataBytes) / frameBytes));
    // Samples are stored little-endian, as the machine stores them.
    uint8_t buffer[4096];
    size_t values = frames * channels;
    while (values > 0) {
        const size_t count = std::min(values, sizeof buffer / 2);
        for (size_t i = 0; i < count; ++i)
            PutU16(buffer + 2 * i, static_cast<uint16_t>(interleaved[i]));
        if (std::fwrite(buffer, 2, count, file) != count) {
            failed = true;
            return;
        }
        interleaved += count;
        values -= count;
        dataBytes += 2 * count;
    }
}

bool CWavWriter::Close() {
    if (!file)
        return !failed;
    if (!failed)
        failed = !WriteHeader(dataBytes);
    if (std::fclose(file) != 0)
        failed = true;
    file = nullptr;
    return !failed;
}
