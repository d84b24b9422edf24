// Any bytes: the disassembler's source assembles back into exactly those bytes.
#include "tools/asm/Assembler.h"
#include "tools/dis/Disassembler.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const std::string source = CDisassembler(bytes).Run();
    CAssembler assembler;
    if (!assembler.AssembleText("round-trip.asm", source) || assembler.GetImage() != bytes)
        std::abort();
    return 0;
}
