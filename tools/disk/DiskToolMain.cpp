// tarquil-disk: creates empty data disks and shows what a disk image holds.
#include "tools/disk/DiskImageFile.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace {

int Fail(const std::string& message) {
    std::cerr << "tarquil-disk: error: " << message << "\n";
    return 1;
}

int CreateDisk(const std::string& path, const std::string& sizeText, bool force) {
    uint64_t size = 0;
    if (!ParseByteSize(sizeText, size))
        return Fail("invalid size \"" + sizeText + "\" (examples: 4096, 64k, 1m)");
    std::error_code ec;
    if (!force && std::filesystem::exists(path, ec))
        return Fail("\"" + path + "\" already exists (use --force to replace it)");
    std::string error;
    if (!CreateEmptyDisk(path, size, error))
        return Fail(error);
    std::cout << "created " << path << ": " << size << " bytes of data\n";
    return 0;
}

int ShowInfo(const std::string& path) {
    SDiskInfo info;
    std::string error;
    if (!ReadDiskInfo(path, info, error))
        return Fail(error);
    std::cout << "file: " << path << "\n";
    std::cout << "file size: " << info.fileSize << " bytes\n";
    if (!info.magicValid) {
        std::cout << "header: invalid (not a disk image)\n";
        return 1;
    }
    char reserved[8];
    std::snprintf(reserved, sizeof reserved, "0x%02X", info.reserved);
    std::cout << "header: " << kDiskMagic << "\n";
    std::cout << "reserved byte: " << reserved << "\n";
    if (info.fileSize < kDiskHeaderSize) {
        std::cout << "data size: none (the file ends inside the header)\n";
        return 0;
    }
    std::cout << "data size: " << info.dataSize << " bytes\n";
    if (!info.hasBootLength) {
        std::cout << "boot length: none (not bootable)\n";
        return 0;
    }
    std::cout << "boot length: " << info.bootLength;
    const uint32_t boot = info.BootBytes();
    if (boot == 0)
        std::cout << " (not bootable)\n";
    else if (info.bootLength < 0)
        std::cout << " (the rest of the disk: " << boot << " bytes)\n";
    else if (static_cast<uint64_t>(boot) + 4 > info.dataSize)
        std::cout << " (larger than the " << info.dataSize - 4
                  << " bytes behind it: the boot fails)\n";
    else
        std::cout << " (bootable)\n";
    return 0;
}

int DumpData(const std::string& path, uint64_t position, uint64_t count) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadDiskData(path, position, count, bytes, error))
        return Fail(error);
    for (size_t row = 0; row < bytes.size(); row += 16) {
        std::printf("%08llX ", static_cast<unsigned long long>(position + row));
        std::string text;
        for (size_t i = row; i < row + 16; ++i) {
            if (i < bytes.size()) {
                std::printf(" %02X", bytes[i]);
                text += bytes[i] >= 32 && bytes[i] < 127 ? static_cast<char>(bytes[i]) : '.';
            } else {
                std::printf("   ");
            }
        }
        std::printf("  %s\n", text.c_str());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Creates and inspects Tarquil disk images."};
    app.require_subcommand(1);

    std::string path, sizeText;
    bool force = false;
    CLI::App* create = app.add_subcommand("new", "create an empty data disk of SIZE bytes");
    create->add_option("FILE", path, "the image file to create")->required();
    create->add_option("SIZE", sizeText, "data area size: 4096, 64k, 1m, ...")->required();
    create->add_flag("-f,--force", force, "replace an existing file");

    CLI::App* info =
        app.add_subcommand("info", "print an image's header, data size and boot length");
    info->add_option("FILE", path, "the image file")->required();

    uint64_t position = 0, count = 0;
    CLI::App* read = app.add_subcommand("read", "print COUNT bytes of the data area from POSITION");
    read->add_option("FILE", path, "the image file")->required();
    read->add_option("POSITION", position, "first data byte (0 = the boot length)")->required();
    read->add_option("COUNT", count, "number of bytes")->required();

    CLI11_PARSE(app, argc, argv);

    if (create->parsed())
        return CreateDisk(path, sizeText, force);
    if (info->parsed())
        return ShowInfo(path);
    return DumpData(path, position, count);
}
