// Disk image files as the toolchain writes and inspects them: the 15-byte magic, one
// reserved byte, then the data area. A bootable image starts its data area with a signed
// 32-bit little-endian boot length followed by the boot image.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kDiskMagic = "Tarquil Disk 10";
inline constexpr uint32_t kDiskHeaderSize = 16;
// The data size is kept in 32 bits, and the whole file must stay below 4 GiB.
inline constexpr uint64_t kMaxDiskDataSize = 0xFFFFFFFFull - kDiskHeaderSize;

struct SDiskInfo {
    bool magicValid = false;
    uint8_t reserved = 0;
    uint64_t fileSize = 0;
    uint32_t dataSize = 0;
    bool hasBootLength = false; // the data area holds at least the four length bytes
    int32_t bootLength = 0;
    // What a boot would load: 0 when the disk is not bootable.
    uint32_t BootBytes() const;
};

// Writes a bootable disk: header, boot length, image, then zeros up to `dataSize` bytes of
// data area (0 = exactly as large as the boot image needs).
bool WriteBootDisk(const std::string& path, const std::vector<uint8_t>& image, uint64_t dataSize,
                   std::string& error);
// Creates a disk with `dataSize` zero bytes of data area (so its boot length is 0).
bool CreateEmptyDisk(const std::string& path, uint64_t dataSize, std::string& error);

bool ReadDiskInfo(const std::string& path, SDiskInfo& info, std::string& error);
// The bytes a boot would load from the disk.
bool ReadBootImage(const std::string& path, std::vector<uint8_t>& image, std::string& error);
// `count` bytes of the data area from `position`.
bool ReadDiskData(const std::string& path, uint64_t position, uint64_t count,
                  std::vector<uint8_t>& bytes, std::string& error);

// A size such as "4096", "64k", "1.5m" or "2 MB": binary multiples, optional trailing "b".
bool ParseByteSize(std::string_view text, uint64_t& size);

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
