// tarquil-asm: assembles a source file into a bootable disk image or a raw binary.
#include "tools/asm/Assembler.h"
#include "tools/disk/DiskImageFile.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    CLI::App app{"Assembles Tarquil source into a bootable disk image (.disk) or a raw binary."};
    std::string source, output, listingPath, symbolsPath, diskSizeText;
    bool raw = false;
    std::vector<std::string> includeDirectories;
    app.add_option("SOURCE", source, "the source file")->required();
    app.add_option("-o,--output", output,
                   "the file to write (default: SOURCE with the extension .disk or .bin)");
    app.add_flag("--raw", raw, "write the bare program bytes instead of a disk image");
    app.add_option("-I,--include", includeDirectories, "a directory searched by .include");
    app.add_option("-l,--listing", listingPath, "write a listing: address, bytes, source line");
    app.add_option("--symbols", symbolsPath,
                   "where the symbol file goes (default: the output with the extension .sym)");
    app.add_option("--disk-size", diskSizeText,
                   "data area of the disk image (64k, 1m, ...; default: just the boot image)");
    CLI11_PARSE(app, argc, argv);

    uint64_t diskSize = 0;
    if (!diskSizeText.empty() && !ParseByteSize(diskSizeText, diskSize)) {
        std::cerr << "tarquil-asm: error: invalid disk size \"" << diskSizeText << "\"\n";
        return 2;
    }
    if (output.empty())
        output = std::filesystem::path(source).replace_extension(raw ? ".bin" : ".disk").string();
    if (symbolsPath.empty())
        symbolsPath = std::filesystem::path(output).replace_extension(".sym").string();

    SAssemblerOptions options;
    options.includeDirectories = includeDirectories;
    CAssembler assembler(options);
    const bool ok = assembler.AssembleFile(source);
    std::cerr << assembler.GetDiagnostics().Format();
    if (!ok)
        return 1;

    std::string error;
    const auto writeText = [&error](const std::string& path, const std::string& text) {
        if (WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()), error))
            return true;
        std::cerr << "tarquil-asm: error: " << error << "\n";
        return false;
    };
    if (!listingPath.empty() && !writeText(listingPath, assembler.GetListing()))
        return 1;
    // The debuggers find the symbols by the image's name.
    if (!writeText(symbolsPath, assembler.GetSymbolFile().Write()))
        return 1;
    const bool written = raw ? WriteFileBytes(output, assembler.GetImage(), error)
                             : WriteBootDisk(output, assembler.GetImage(), diskSize, error);
    if (!written) {
        std::cerr << "tarquil-asm: error: " << error << "\n";
        return 1;
    }
    return 0;
}
