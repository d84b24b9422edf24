// fuzz-state: machine state files from hostile hands. A file is either refused with a
// reason, or it decodes; then its encoding decodes to a state that encodes the same, and the
// state loads into a machine that runs on without trouble. The slots stay empty here: a
// state names images by path, and the fuzzer must not open the host's files.
#include "host/MachineState.h"
#include "host/StateFile.h"

#include "FuzzInput.h"
#include "FuzzMachine.h"
#include "common/WholeMachine.h"

#include <string>
#include <vector>

namespace {

// Enough for every section with a memory of a few megabytes; bigger only costs time.
constexpr uint64_t kMaxFuzzPayload = uint64_t{1} << 23;
constexpr int kSlicesAfterLoading = 64;

bool Decode(const std::vector<uint8_t>& bytes, SMachineState& state) {
    std::string error;
    return DecodeMachineState(bytes.data(), bytes.size(), state, error, kMaxFuzzPayload);
}

void LoadAndRun(SMachineState& state) {
    for (SDiskSlotState& disk : state.disks) {
        disk.hasDisk = false;
        disk.path.clear();
    }
    const int64_t cells = int64_t{state.screen.width} * state.screen.height;
    if (cells > CFuzzMachine::kMaxFuzzScreenCells)
        return;
    CFuzzPlatform platform;
    CWholeMachine machine(platform, {}, "4k");
    if (!machine.IsComplete())
        return;
    std::vector<std::string> warnings;
    std::string error;
    if (!ApplyMachineState(machine.Machine(), platform, std::move(state), warnings, error)) {
        if (error.empty())
            FuzzFinding("a state the machine refused gives no reason");
        return;
    }
    std::string message;
    for (int i = 0; i < kSlicesAfterLoading; ++i)
        machine.Kernel().RunSlice(message);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SMachineState state;
    std::string error;
    if (!DecodeMachineState(data, size, state, error, kMaxFuzzPayload)) {
        if (error.empty())
            FuzzFinding("a refused state file gives no reason");
        return 0;
    }
    const std::vector<uint8_t> encoded = EncodeMachineState(state);
    SMachineState again;
    if (!Decode(encoded, again))
        FuzzFinding("the encoding of a decoded state does not decode");
    if (EncodeMachineState(again) != encoded)
        FuzzFinding("a state changed on its way through a file");
    LoadAndRun(state);
    return 0;
}
