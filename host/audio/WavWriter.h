// Writes 16-bit PCM frames to a WAV file as they come. The sizes in the header are filled
// in when the file is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class CWavWriter {
public:
    CWavWriter(uint32_t sampleRate, uint16_t channels)
        : sampleRate(sampleRate), channels(channels) {}
    ~CWavWriter();
    CWavWriter(const CWavWriter&) = delete;
    CWavWriter& operator=(const CWavWriter&) = delete;

    // False (errno set) when the file cannot be created.
    bool Open(const std::string& path);
    void Append(const int16_t* interleaved, size_t frames);
    // Completes the header; false when any write failed.
    bool Close();
    bool IsOpen() const { return file != nullptr; }

private:
    bool WriteHeader(uint64_t dataBytes);

    uint32_t sampleRate;
    uint16_t channels;
    std::FILE* file = nullptr;
    uint64_t dataBytes = 0;
    bool failed = false;
};
