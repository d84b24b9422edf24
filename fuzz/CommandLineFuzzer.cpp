// fuzz-command-line: the tokenizer and every scanner of command-line options: the
// machine's (-boot, -disk N F, -disksempty, -noask), the slot lists and the memory size of
// the configuration, and the runner's own options with its key script.
//
// Input: the arguments, separated by zero bytes. They are joined as the hosts join them and
// scanned as one command line; and as raw text, as a user might type it.
//
// Beyond the sanitizers: the tokenizer always moves on and hands back exactly the arguments
// that were joined (for arguments without a quotation mark, which the command line has no
// way to carry).
#include "FuzzInput.h"
#include "FuzzPlatform.h"
#include "core/Kernel.h"
#include "core/Memory.h"
#include "devices/Disk.h"
#include "devices/SlotList.h"
#include "host/CommandLine.h"
#include "host/KeyScript.h"
#include "isa/Dispatch.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"
#include "support/TextFunctions.h"
#include "tools/run/RunOptions.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> Tokenize(const std::string& text) {
    std::vector<std::string> tokens;
    std::string token;
    size_t position = 0;
    for (;;) {
        const size_t before = position;
        if (!qm::NextToken(text, token, position))
            break;
        if (position <= before || position > text.size() + 1)
            FuzzFinding("the tokenizer did not move on");
        tokens.push_back(token);
    }
    return tokens;
}

void CheckJoinedArguments(const std::vector<std::string>& arguments, const std::string& line) {
    for (const std::string& argument : arguments) {
        if (argument.find('"') != std::string::npos)
            return;
    }
    if (Tokenize(line) != arguments)
        FuzzFinding("the joined command line does not give back its arguments");
}

// The option scanners of the machine's devices, on one command line.
void ScanMachineOptions(const std::string& line) {
    CFuzzPlatform platform;
    CKernel kernel(platform, GetDispatchTable());
    (void)kernel.ParseCommandLine(line);
    (void)HasNoAskOption(line);
    const qm::CINIFile machineConfig;
    qm::CINIFile userSettings;
    // Read-only slots: an image named on the command line is opened for reading at most.
    for (uint32_t slot = 0; slot < 3; ++slot) {
        CDisk disk(true, slot == 1, slot);
        (void)disk.Init(machineConfig, userSettings, line);
    }
    qm::ClearErrors();
}

void ScanSettingsTexts(const std::string& text) {
    const std::vector<bool> slots = ParseSlotList(text, 64);
    if (slots.size() != 64)
        FuzzFinding("a slot list gave another number of flags than slots");
    (void)ParseSlotList(text, 0);
    (void)ParseMemorySize(text);
    (void)qm::StrToInt(text);
    (void)qm::StrToFloat(text);
    (void)qm::StrToBool(text);
}

void ScanRunnerOptions(const std::vector<std::string>& arguments) {
    std::vector<const char*> argv = {"tarquil-run"};
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    SRunOptions options;
    int exitCode = 0;
    std::ostringstream out, errors;
    (void)ParseRunOptions(static_cast<int>(argv.size()), argv.data(), options, exitCode, out,
                          errors);
    std::vector<SScriptedInput> keys;
    std::string problem;
    for (const std::string& argument : arguments)
        (void)ParseKeyScript(argument, keys, problem);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A slot that cannot open its image shows an error box; nobody reads them here.
    qm::SetErrorBoxHandler([](const std::string&) {});
    // Relative names of disk images lead into an empty directory.
    std::string directory = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                            "/fuzz-command-line-XXXXXX";
    if (!mkdtemp(directory.data()) || chdir(directory.c_str()) != 0)
        FuzzFinding("no empty working directory");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> arguments;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('\0', start), text.size());
        arguments.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    const std::string line = JoinCommandLine(arguments);
    CheckJoinedArguments(arguments, line);
    Tokenize(text);
    ScanMachineOptions(line);
    ScanMachineOptions(text);
    for (const std::string& argument : arguments)
        ScanSettingsTexts(argument);
    ScanRunnerOptions(arguments);
    return 0;
}
