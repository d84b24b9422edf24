// fuzz-processor: an arbitrary memory image and register block run for a bounded number of
// slices on a whole machine, with input events posted between the slices.
//
// Input: memory size choice, slice count, the 44 register bytes, an event script (count,
// then 8 bytes per event), and the program, which boots from slot 0 and so lies at address
// 0. Checked beyond the sanitizers: the memory keeps its size, the queue its bound, and a
// stopped machine stays stopped.
#include "FuzzInput.h"
#include "FuzzMachine.h"
#include "core/Kernel.h"
#include "core/Memory.h"

#include <array>
#include <cstring>

namespace {

struct SScriptedEvent {
    uint8_t slice;
    uint8_t kind;
    uint16_t a;
    int16_t x;
    int16_t y;
};

void Post(CKernel& kernel, const SScriptedEvent& e) {
    switch (e.kind % 12) {
    case 0:
        kernel.PostActivityEvent(static_cast<EActivity>(e.a & 1));
        break;
    case 1:
        kernel.PostTimerEvent(e.a);
        break;
    case 2:
        kernel.PostKeyEvent(e.a & 1, e.a >> 8);
        break;
    case 3:
        kernel.PostCharEvent(e.a & 0xFF);
        break;
    case 4:
        kernel.PostMouseMoveEvent(e.a, e.x, e.y);
        break;
    case 5:
        kernel.PostMouseButtonEvent(static_cast<EMouseButton>(e.a % 3 + 1),
                                    static_cast<EMouseAction>((e.a >> 2) % 3 + 1), e.a >> 4, e.x,
                                    e.y);
        break;
    case 6:
        kernel.PostMouseWheelEvent(e.a, e.x, e.y, static_cast<float>(e.y) / 8.0f);
        break;
    case 7:
        kernel.PostScreenEvent();
        break;
    case 8:
        kernel.PostDiskInsertedEvent(e.a % 64);
        break;
    case 9:
        kernel.PostDiskEjectedEvent(e.a % 64);
        break;
    default:
        // A flood: more events than the queue holds.
        for (int i = 0; i < 1100; ++i)
            kernel.PostCharEvent(static_cast<uint32_t>(i) & 0xFF);
        break;
    }
}

// Runs more slices on a stopped machine, with events offered, and checks that nothing moves.
void CheckStaysStopped(CFuzzMachine& machine) {
    CKernel& kernel = machine.Kernel();
    CMemory& memory = machine.Memory();
    std::array<uint8_t, kRegisterBlockSize> before;
    std::memcpy(before.data(), memory.GetRegisters(), before.size());
    const uint64_t count = kernel.GetInstructionCount();
    for (int i = 0; i < 3; ++i) {
        kernel.PostCharEvent('x');
        kernel.PostTimerEvent(1);
        std::string message;
        if (!kernel.RunSlice(message))
            FuzzFinding("a stopped machine asked to run on");
        if (kernel.IsRunning() || kernel.HasEvents())
            FuzzFinding("a stopped machine runs again or queues events");
        if (!message.empty())
            FuzzFinding("a stopped machine repeats its message");
    }
    if (kernel.GetInstructionCount() != count ||
        std::memcmp(before.data(), memory.GetRegisters(), before.size()) != 0)
        FuzzFinding("a stopped machine executed instructions");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFuzzInput input(data, size);
    static const char* const kMemorySizes[] = {"64", "4k", "64k", "333"};
    const std::string memorySize = kMemorySizes[input.Byte() % 4];
    const uint32_t slices = 1 + input.Byte() % 64;
    std::vector<uint8_t> registers = input.Bytes(kRegisterBlockSize);
    registers.resize(kRegisterBlockSize);
    std::vector<SScriptedEvent> events(input.Byte() % 32);
    for (SScriptedEvent& event : events)
        event = input.Take<SScriptedEvent>();
    const std::vector<uint8_t> program = input.Rest();

    CFuzzMachine machine(program, memorySize);
    if (!machine.IsComplete())
        FuzzFinding("the machine did not start");
    CKernel& kernel = machine.Kernel();
    CMemory& memory = machine.Memory();
    const int32_t memoryBytes = memory.GetSize();
    // The program starts with the register block of the input (its IP included).
    if (kernel.IsRunning())
        std::memcpy(memory.GetRegisters(), registers.data(), kRegisterBlockSize);

    std::string message;
    for (uint32_t slice = 0; slice < slices; ++slice) {
        for (const SScriptedEvent& event : events) {
            if (event.slice % slices == slice)
                Post(kernel, event);
        }
        kernel.RunSlice(message);
        if (memory.GetSize() != memoryBytes)
            FuzzFinding("the data memory changed its size");
        if (kernel.GetEventCount() > kEventQueueCapacity)
            FuzzFinding("the event queue outgrew its bound");
        if (!kernel.IsRunning()) {
            CheckStaysStopped(machine);
            break;
        }
    }
    return 0;
}
