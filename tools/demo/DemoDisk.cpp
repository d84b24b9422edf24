// Writes the demo disk image: a program that greets the user on the text screen and in the
// window title, then waits for input and takes every event that arrives. Usage: tarquil-demo-disk
// OUTPUT.disk
#include "isa/OpcodeMap.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr uint32_t kRegisters = 0x7FFFFC00;
constexpr uint32_t kModeImmediate = 1;
constexpr uint32_t kModeDirect = 2;

class CDemoProgram {
public:
    // MOV of an immediate value into a register-block byte or dword.
    void SetByte(uint32_t offset, uint8_t value) {
        Head("MOV.8", kModeImmediate, kModeDirect);
        bytes.push_back(value);
        Dword(kRegisters + offset);
    }
    void SetDword(uint32_t offset, uint32_t value) {
        Head("MOV.32", kModeImmediate, kModeDirect);
        Dword(value);
        Dword(kRegisters + offset);
    }
    void Call(uint8_t group, uint8_t function) {
        SetByte(0, group);
        SetByte(1, function);
        Head("SYS", 0, 0);
    }
    void Wait() { Head("WAIT", 0, 0); }
    void GetEvent() { Head("GETEVENT", 0, 0); }
    // JMP to an absolute target (BASE stays 0 in this program).
    void Jump(uint32_t target) {
        Head("JMP", kModeDirect, 0);
        Dword(target);
    }
    uint32_t Size() const { return static_cast<uint32_t>(bytes.size()); }
    void Append(std::string_view text) { bytes.insert(bytes.end(), text.begin(), text.end()); }
    void Dword(uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    void PatchDword(uint32_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    const std::vector<uint8_t>& Bytes() const { return bytes; }

private:
    void Head(std::string_view mnemonic, uint32_t modeA, uint32_t modeB) {
        const int32_t index = FindOpcode(mnemonic);
        if (index < 0) {
            std::cerr << "tarquil-demo-disk: the instruction set has no " << mnemonic << '\n';
            std::exit(1);
        }
        const auto category = static_cast<uint32_t>(index) / kCodesPerCategory;
        bytes.push_back(EncodeHead(category, modeA, modeB, 0));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(index) % kCodesPerCategory));
    }

    std::vector<uint8_t> bytes;
};

// Writes a line of text cells at row y, one put-cell call per character.
void PutText(CDemoProgram& program, int32_t y, std::string_view text, uint32_t colour) {
    program.SetDword(0x0C, static_cast<uint32_t>(y));
    program.SetDword(0x10, colour);
    program.SetDword(0x14, 0x00000000);
    program.SetByte(3, 0);
    for (size_t x = 0; x < text.size(); ++x) {
        program.SetDword(0x08, static_cast<uint32_t>(x + 2));
        program.SetByte(2, static_cast<uint8_t>(text[x]));
        program.Call(5, 5);
    }
}

std::vector<uint8_t> DemoProgram() {
    const std::string_view title = "Hello from the Tarquil demo disk";
    CDemoProgram program;
    // Text mode, 80 x 25.
    program.SetByte(2, 1);
    program.SetDword(0x08, 80);
    program.SetDword(0x0C, 25);
    program.Call(5, 2);
    PutText(program, 1, "Tarquil", 0x0000FFFF);
    PutText(program, 3, "This program runs on the emulated machine.", 0x00C0C0C0);
    PutText(program, 4, "It wrote these cells and will now wait for input.", 0x00C0C0C0);
    program.Call(5, 4);
    // The title: its bytes follow the code; the address is patched in below.
    program.SetByte(2, static_cast<uint8_t>(title.size()));
    program.SetDword(4, 0);
    const uint32_t addressField = program.Size() - 8;
    program.Call(1, 6);
    // Wait for input and take whatever arrives, for ever.
    const uint32_t loop = program.Size();
    program.Wait();
    program.GetEvent();
    program.Jump(loop);
    program.PatchDword(addressField, program.Size());
    program.Append(title);
    return program.Bytes();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tarquil-demo-disk OUTPUT.disk\n";
        return 2;
    }
    const std::vector<uint8_t> program = DemoProgram();
    std::string image = "Tarquil Disk 10";
    image.push_back('\0');
    const auto length = static_cast<int32_t>(program.size());
    char lengthBytes[4];
    std::memcpy(lengthBytes, &length, 4);
    image.append(lengthBytes, 4);
    image.append(program.begin(), program.end());
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    if (!out) {
        std::cerr << "tarquil-demo-disk: cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
