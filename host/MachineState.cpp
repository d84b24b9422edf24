#include "host/MachineState.h"

#include "core/DiskSlot.h"
#include "core/Machine.h"
#include "core/Memory.h"
#include "core/Random.h"
#include "devices/Mouse.h"
#include "devices/Screen.h"
#include "devices/Sound.h"
#include "host/LargePages.h"
#include "support/ErrorStack.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

SDiskSlotState CaptureSlot(const CDiskSlot& slot) {
    SDiskSlotState saved;
    saved.readOnly = slot.IsReadOnly();
    saved.remember = slot.IsRemembering();
    saved.hasDisk = slot.HasDisk();
    if (!saved.hasDisk)
        return saved;
    saved.path = AbsolutePath(slot.GetFileName());
    slot.GetSize(saved.dataSize);
    slot.Tell(saved.position);
    if (!ChecksumFile(saved.path, saved.fileSize, saved.checksum)) {
        saved.fileSize = 0;
        saved.checksum = 0;
    }
    return saved;
}

void RestoreSlot(CDiskSlot& slot, uint32_t number, const SDiskSlotState& saved,
                 std::vector<std::string>& warnings) {
    const std::string where = "slot " + std::to_string(number) + ": ";
    if (slot.HasDisk())
        slot.Eject();
    if (!saved.hasDisk)
        return;
    if (!slot.Insert(saved.path)) {
        std::string reasons;
        for (std::string text; qm::PopError(text);)
            reasons += "; " + text;
        warnings.push_back(where + "cannot insert \"" + saved.path + "\"" + reasons +
                           "; the slot stays empty");
        return;
    }
    if (!RestoreSlotPosition(slot, saved.position))
        warnings.push_back(where + "cannot restore the position in \"" + saved.path + "\"");
}

void RestoreTimers(CPlatform& platform, const std::vector<SHostTimer>& timers) {
    for (const SHostTimer& running : platform.GetRunningTimers())
        platform.StopTimer(running.id);
    for (const SHostTimer& timer : timers)
        platform.StartTimer(timer.id, timer.intervalMs);
}

// Notes that sounded when the state was loaded have no note-off coming: every channel is
// told to stop its sound and its notes.
void SilenceSound(CSound& sound) {
    constexpr uint32_t kAllSoundOff = 120;
    constexpr uint32_t kAllNotesOff = 123;
    for (uint32_t channel = 0; channel < 16; ++channel) {
        sound.SendShortMessage(0xB0 | channel | kAllSoundOff << 8);
        sound.SendShortMessage(0xB0 | channel | kAllNotesOff << 8);
    }
}

} // namespace

// Seek takes positions inside the data area only; its end is reached by reading its last byte.
bool RestoreSlotPosition(CDiskSlot& slot, uint32_t position) {
    uint32_t dataSize = 0;
    if (!slot.GetSize(dataSize))
        return false;
    if (position < dataSize)
        return slot.Seek(position);
    uint8_t last = 0;
    return position == dataSize && dataSize > 0 && slot.Seek(dataSize - 1) && slot.Read(&last, 1);
}

bool ChecksumFile(const std::string& path, uint64_t& fileSize, uint32_t& checksum) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return false;
    std::vector<unsigned char> buffer(1 << 20);
    uLong crc = crc32(0L, Z_NULL, 0);
    fileSize = 0;
    for (;;) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
        crc = crc32(crc, buffer.data(), static_cast<uInt>(got));
        fileSize += got;
        if (got < buffer.size())
            break;
    }
    checksum = static_cast<uint32_t>(crc);
    return std::ferror(file.get()) == 0;
}

void CheckStateImages(const SMachineState& state, std::vector<std::string>& changes) {
    for (size_t slot = 0; slot < state.disks.size(); ++slot) {
        const SDiskSlotState& saved = state.disks[slot];
        uint64_t fileSize = 0;
        uint32_t checksum = 0;
        // A missing image is reported when it cannot be inserted.
        if (!saved.hasDisk || !ChecksumFile(saved.path, fileSize, checksum))
            continue;
        if (fileSize != saved.fileSize || checksum != saved.checksum)
            changes.push_back("slot " + std::to_string(slot) + ": the image \"" + saved.path +
                              "\" has changed since the state was saved");
    }
}

void CaptureMachineCore(const CMachine& machine, const CPlatform& platform, SMachineCore& core) {
    std::copy_n(machine.memory->GetRegisters(), kRegisterBlockSize, core.registers.begin());
    core.kernel = machine.kernel->SaveState();
    core.randomState = GetRandomState();
    core.mouseX = machine.mouse->GetX();
    core.mouseY = machine.mouse->GetY();
    core.wheelLines = machine.mouse->GetWheelLines();
    core.timers = platform.GetRunningTimers();
}

void ApplyMachineCore(CMachine& machine, const SMachineCore& core) {
    std::copy_n(core.registers.begin(), kRegisterBlockSize, machine.memory->GetRegisters());
    machine.mouse->RestoreState(core.mouseX, core.mouseY, core.wheelLines);
    SeedRandom(core.randomState);
    machine.kernel->RestoreState(core.kernel);
}

void CaptureMachineState(const CMachine& machine, const CPlatform& platform, SMachineState& state) {
    const CMemory& memory = *machine.memory;
    if (AllocateMemoryImage(state.memory, static_cast<uint32_t>(memory.GetSize())))
        std::copy_n(memory.GetData(), state.memory.GetSize(), state.memory.GetData());
    CaptureMachineCore(machine, platform, state);
    // A stopped machine put back into the state shows again why it stopped.
    if (!state.kernel.running && state.kernel.pendingMessage.empty())
        state.kernel.pendingMessage = machine.kernel->GetStopMessage();
    machine.screen->SaveState(state.screen);
    state.hasSound = machine.sound != nullptr;
    state.disks.clear();
    for (int32_t slot = 0; slot < machine.diskCount; ++slot)
        state.disks.push_back(CaptureSlot(*machine.disks[static_cast<size_t>(slot)]));
}

bool ApplyMachineState(CMachine& machine, CPlatform& platform, SMachineState&& state,
                       std::vector<std::string>& warnings, std::string& error) {
    if (!state.screen.IsConsistent()) {
        error = "the screen's state does not fit its mode";
        return false;
    }
    if (!machine.memory->Restore(std::move(state.memory), state.registers.data())) {
        error = "the state has no memory the machine can take";
        return false;
    }
    machine.kernel->AttachWithoutBoot();

    const size_t slots = static_cast<size_t>(machine.diskCount);
    for (size_t slot = 0; slot < state.disks.size(); ++slot) {
        if (slot < slots)
            RestoreSlot(*machine.disks[slot], static_cast<uint32_t>(slot), state.disks[slot],
                        warnings);
        else if (state.disks[slot].hasDisk)
            warnings.push_back("slot " + std::to_string(slot) +
                               ": the machine has no such slot; \"" + state.disks[slot].path +
                               "\" is left out");
    }
    for (size_t slot = state.disks.size(); slot < slots; ++slot) {
        if (machine.disks[slot]->HasDisk())
            machine.disks[slot]->Eject();
    }

    if (!machine.screen->RestoreState(state.screen))
        warnings.push_back("the screen cannot show the saved mode");
    RestoreTimers(platform, state.timers);
    if (machine.sound)
        SilenceSound(*machine.sound);
    else if (state.hasSound)
        warnings.push_back("the machine has no sound device; the program's sound is not heard");
    ApplyMachineCore(machine, state);
    return true;
}
