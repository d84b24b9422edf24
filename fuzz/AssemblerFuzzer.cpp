// fuzz-asm: the assembler on arbitrary source text. When the input holds a zero byte, the
// text behind it is the content of every file that the source includes (so inclusion,
// nesting and cycles are fuzzed too, without touching the host's files).
//
// Beyond the sanitizers: an assembly succeeds exactly when it reports no error, and a
// program that assembled disassembles into source that assembles to the same bytes.
#include "FuzzInput.h"
#include "tools/asm/Assembler.h"
#include "tools/dis/Disassembler.h"

#include <string>

namespace {

// Round trips only for programs of a size a test program has; huge images of .fill and
// .org only cost time.
constexpr size_t kLargestRoundTrip = 64 * 1024;

void CheckRoundTrip(const std::vector<uint8_t>& image) {
    SDisassemblerOptions options;
    options.comments = false;
    const std::string source = CDisassembler(image, options).Run();
    CAssembler again;
    if (!again.AssembleText("disassembled.asm", source)) {
        std::fprintf(stderr, "%s\n%s", again.GetDiagnostics().Format().c_str(), source.c_str());
        FuzzFinding("the disassembly of a program does not assemble");
    }
    if (again.GetImage() != image)
        FuzzFinding("the disassembly of a program assembles to other bytes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string source = input.substr(0, split);
    const std::string included =
        split == std::string::npos ? std::string() : input.substr(split + 1);

    SAssemblerOptions options;
    // Nested includes that multiply reach any limit; lines past this one only repeat what
    // the first ones exercised, and cost most of the time (each included file is resolved
    // on the host's file system), so 500 lines run several times the executions per second
    // of 20,000.
    options.maxLines = 500;
    // Likewise a fill or .org that doubles with every pass: the limit is reached the same way
    // at 1 MiB, where 256 MiB costs seconds per input.
    options.maxImageSize = 1024 * 1024;
    options.reader = [&included](const std::string&, std::string& text) {
        text = included;
        return !included.empty();
    };
    CAssembler assembler(options);
    const bool ok = assembler.AssembleText("fuzz.asm", source);
    if (ok == assembler.GetDiagnostics().HasErrors())
        FuzzFinding("success and error messages disagree");
    (void)assembler.GetDiagnostics().Format();
    if (!ok)
        return 0;
    (void)assembler.GetListing();
    if (assembler.GetImage().size() <= kLargestRoundTrip)
        CheckRoundTrip(assembler.GetImage());
    return 0;
}
