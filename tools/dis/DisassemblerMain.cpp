// tarquil-dis: writes the boot image of a disk, or a raw binary, as assembly source.
#include "tools/dis/Disassembler.h"
#include "tools/disk/DiskImageFile.h"

#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv) {
    CLI::App app{"Disassembles the boot image of a Tarquil disk, or a raw binary, into source "
                 "that tarquil-asm turns back into the same bytes."};
    std::string input;
    bool raw = false, plain = false, noLabels = false;
    app.add_option("IMAGE", input, "a .disk image (or a raw binary with --raw)")->required();
    app.add_flag("--raw", raw, "the input is bare program bytes loaded at address 0");
    app.add_flag("--plain", plain, "no address and byte comments");
    app.add_flag("--no-labels", noLabels, "write jump targets as numbers");
    CLI11_PARSE(app, argc, argv);

    std::vector<uint8_t> image;
    std::string error;
    const bool ok = raw ? ReadFileBytes(input, image, error) : ReadBootImage(input, image, error);
    if (!ok) {
        std::cerr << "tarquil-dis: error: " << error;
        if (!raw)
            std::cerr << " (use --raw for a bare binary)";
        std::cerr << "\n";
        return 1;
    }
    SDisassemblerOptions options;
    options.comments = !plain;
    options.labels = !noLabels;
    std::cout << CDisassembler(image, options).Run();
    return 0;
}
