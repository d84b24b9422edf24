#include "tools/disk/DiskImageFile.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

std::string SystemReason() {
    return errno != 0 ? std::string(": ") + std::strerror(errno) : std::string();
}

void AppendHeader(std::vector<uint8_t>& bytes) {
    bytes.insert(bytes.end(), kDiskMagic.begin(), kDiskMagic.end());
    bytes.push_back(0); // reserved
}

void AppendDword(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

} // namespace

uint32_t SDiskInfo::BootBytes() const {
    if (!magicValid || !hasBootLength || bootLength == 0)
        return 0;
    if (bootLength < 0)
        return dataSize - 4;
    return static_cast<uint32_t>(bootLength);
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    // Images are regular files; a device or a pipe could feed bytes forever.
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec)) {
        error = "\"" + path + "\" is not a regular file";
        return false;
    }
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open \"" + path + "\"" + SystemReason();
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) {
        error = "cannot read \"" + path + "\"";
        return false;
    }
    return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string& error) {
    errno = 0;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        error = "cannot create \"" + path + "\"" + SystemReason();
        return false;
    }
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        error = "cannot write \"" + path + "\"";
        return false;
    }
    return true;
}

bool WriteBootDisk(const std::string& path, const std::vector<uint8_t>& image, uint64_t dataSize,
                   std::string& error) {
    const uint64_t needed = 4 + static_cast<uint64_t>(image.size());
    if (image.size() > 0x7FFFFFFFu || needed > kMaxDiskDataSize) {
        error = "boot image of " + std::to_string(image.size()) + " bytes is too large";
        return false;
    }
    if (dataSize == 0)
        dataSize = needed;
    if (dataSize < needed) {
        error = "disk data size " + std::to_string(dataSize) + " is smaller than the " +
                std::to_string(needed) + " bytes of the boot image and its length";
        return false;
    }
    if (dataSize > kMaxDiskDataSize) {
        error = "disk data size " + std::to_string(dataSize) + " is too large";
        return false;
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(kDiskHeaderSize + dataSize);
    AppendHeader(bytes);
    AppendDword(bytes, static_cast<uint32_t>(image.size()));
    bytes.insert(bytes.end(), image.begin(), image.end());
    bytes.resize(kDiskHeaderSize + dataSize, 0);
    return WriteFileBytes(path, bytes, error);
}

bool CreateEmptyDisk(const std::string& path, uint64_t dataSize, std::string& error) {
    if (dataSize > kMaxDiskDataSize) {
        error = "disk data size " + std::to_string(dataSize) + " is too large";
        return false;
    }
    std::vector<uint8_t> bytes;
    AppendHeader(bytes);
    bytes.resize(kDiskHeaderSize + dataSize, 0);
    return WriteFileBytes(path, bytes, error);
}

bool ReadDiskInfo(const std::string& path, SDiskInfo& info, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes, error))
        return false;
    info = SDiskInfo{};
    info.fileSize = bytes.size();
    // The machine compares the first 15 bytes as a zero-terminated text.
    info.magicValid = bytes.size() >= kDiskMagic.size() &&
                      std::memcmp(bytes.data(), kDiskMagic.data(), kDiskMagic.size()) == 0;
    if (bytes.size() >= kDiskHeaderSize) {
        info.reserved = bytes[15];
        info.dataSize = static_cast<uint32_t>(bytes.size() - kDiskHeaderSize);
    }
    if (info.dataSize >= 4) {
        info.hasBootLength = true;
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i)
            length |= static_cast<uint32_t>(bytes[kDiskHeaderSize + i]) << (8 * i);
        info.bootLength = static_cast<int32_t>(length);
    }
    return true;
}

bool ReadBootImage(const std::string& path, std::vector<uint8_t>& image, std::string& error) {
    SDiskInfo info;
    if (!ReadDiskInfo(path, info, error))
        return false;
    if (!info.magicValid) {
        error = "\"" + path + "\" is not a disk image (wrong header)";
        return false;
    }
    const uint32_t count = info.BootBytes();
    if (count == 0) {
        error = "\"" + path + "\" holds no boot image";
        return false;
    }
    if (static_cast<uint64_t>(count) + 4 > info.dataSize) {
        error = "\"" + path + "\" is shorter than its boot length " + std::to_string(count);
        return false;
    }
    return ReadDiskData(path, 4, count, image, error);
}

bool ReadDiskData(const std::string& path, uint64_t position, uint64_t count,
                  std::vector<uint8_t>& bytes, std::string& error) {
    std::vector<uint8_t> file;
    if (!ReadFileBytes(path, file, error))
        return false;
    const uint64_t dataSize = file.size() < kDiskHeaderSize ? 0 : file.size() - kDiskHeaderSize;
    if (position > dataSize || count > dataSize - position) {
        error = "bytes " + std::to_string(position) + " to " + std::to_string(position + count) +
                " lie outside the " + std::to_string(dataSize) + " bytes of data";
        return false;
    }
    const auto first = file.begin() + static_cast<std::ptrdiff_t>(kDiskHeaderSize + position);
    bytes.assign(first, first + static_cast<std::ptrdiff_t>(count));
    return true;
}

bool ParseByteSize(std::string_view text, uint64_t& size) {
    auto trim = [](std::string_view& t) {
        while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front())))
            t.remove_prefix(1);
        while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back())))
            t.remove_suffix(1);
    };
    trim(text);
    auto endsWith = [&](char c) {
        return !text.empty() && std::tolower(static_cast<unsigned char>(text.back())) == c;
    };
    if (endsWith('b')) {
        text.remove_suffix(1);
        trim(text);
    }
    double multiplier = 1;
    if (endsWith('k'))
        multiplier = 1024.0;
    else if (endsWith('m'))
        multiplier = 1024.0 * 1024.0;
    else if (endsWith('g'))
        multiplier = 1024.0 * 1024.0 * 1024.0;
    if (multiplier != 1) {
        text.remove_suffix(1);
        trim(text);
    }
    if (text.empty())
        return false;
    // Digits with at most one decimal point; no sign, no exponent.
    bool point = false;
    for (char c : text) {
        if (c == '.' && !point)
            point = true;
        else if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    if (text == ".")
        return false;
    const double value = std::strtod(std::string(text).c_str(), nullptr) * multiplier;
    if (!(value <= 18446744073709549568.0))
        return false;
    size = static_cast<uint64_t>(std::floor(value));
    return true;
}
