// Any source text: the assembler reports errors or produces bytes, and never crashes or
// hangs. Includes resolve to the same text, so that they are exercised too.
#include "tools/asm/Assembler.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    SAssemblerOptions options;
    options.reader = [&text](const std::string&, std::string& out) {
        out = text;
        return true;
    };
    CAssembler assembler(options);
    assembler.AssembleText("fuzz.asm", text);
    assembler.GetDiagnostics().Format();
    assembler.GetListing();
    return 0;
}
