// A program for tests of data safety: it writes a known mark into its own boot disk (slot
// 0) with the disk services and then keeps running in one of three ways, so that a test
// can stop the machine, or close the program, at a moment when the write has happened.
#pragma once

#include "common/DiskImages.h"
#include "common/ProgramBuilder.h"

#include <cstdint>
#include <string>

namespace testhelpers {

// How the program goes on after the write.
enum class EAfterWrite {
    Wait,      // waits for input for ever (an idle machine)
    Busy,      // a loop that never waits
    LongTimer, // starts a timer of a hundred seconds and waits for it
};

inline constexpr uint32_t kMarkPosition = 2048; // where the mark goes on the disk
inline constexpr uint32_t kDiskDataSize = 4096;
inline constexpr const char* kMark = "written by prog!";
inline constexpr uint32_t kMarkLength = 16;

// The mark's place in the image file.
inline constexpr size_t kMarkFileOffset = 16 + kMarkPosition;

// The whole image file: the boot area with the program, padded to kDiskDataSize.
inline std::string DiskWriterImage(EAfterWrite after) {
    constexpr uint32_t kMarkAddress = 0x100; // in memory, behind the code
    constexpr uint32_t r0 = 0x7FFFFC00, r4 = 0x7FFFFC04, r8 = 0x7FFFFC08, r12 = 0x7FFFFC0C;
    CProgramBuilder p;
    p.Emit("MOV.16", {Imm<uint16_t>(6 | 5 << 8), Dir(r0)}); // seek
    p.Emit("MOV.32", {Imm<uint32_t>(0), Dir(r4)});
    p.Emit("MOV.32", {Imm<uint32_t>(kMarkPosition), Dir(r8)});
    p.Emit("SYS");
    p.Emit("MOV.16", {Imm<uint16_t>(6 | 7 << 8), Dir(r0)}); // write
    p.Emit("MOV.32", {Imm<uint32_t>(kMarkLength), Dir(r8)});
    p.Emit("MOV.32", {Imm<uint32_t>(kMarkAddress), Dir(r12)});
    p.Emit("SYS");
    if (after == EAfterWrite::LongTimer) {
        p.Emit("MOV.16", {Imm<uint16_t>(1 | 7 << 8), Dir(r0)});
        p.Emit("MOV.32", {Imm<uint32_t>(1), Dir(r4)});
        p.Emit("MOV.32", {Imm<uint32_t>(100000), Dir(r8)});
        p.Emit("SYS");
    }
    const uint32_t loop = p.Size();
    if (after != EAfterWrite::Busy) {
        p.Emit("WAIT");
        p.Emit("GETEVENT");
    }
    p.Emit("JMP", {Dir(loop)});
    std::vector<uint8_t> program = p.Bytes();
    program.resize(kMarkAddress);
    program.insert(program.end(), kMark, kMark + kMarkLength);
    std::string data = BootDataArea(program);
    data.resize(kDiskDataSize);
    return DiskImageBytes(data);
}

// The image as it must be once the program wrote its mark.
inline std::string DiskImageAfterWrite(const std::string& image) {
    std::string written = image;
    written.replace(kMarkFileOffset, kMarkLength, kMark);
    return written;
}

} // namespace testhelpers
