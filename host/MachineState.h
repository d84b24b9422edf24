// The whole state of a machine as plain values: what a state file holds and what a machine
// is put back into. Disk images are the user's files and are not part of it; a state names
// each image with its size and checksum, so that loading can tell when one has changed.
#pragma once

#include "core/Kernel.h"
#include "core/MemoryImage.h"
#include "core/Platform.h"
#include "devices/ScreenState.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CDiskSlot;
class CMachine;

struct SDiskSlotState {
    bool readOnly = false;
    bool remember = false;
    bool hasDisk = false;
    std::string path;      // absolute
    uint32_t position = 0; // in the data area
    uint32_t dataSize = 0; // of the data area
    uint64_t fileSize = 0; // of the whole image file
    uint32_t checksum = 0; // CRC-32 of the whole image file
};

// What a state file and the debugger's history keep alike: the machine's state beyond its
// data memory, its disk slots and its screen (the history shares an unchanged screen and
// unchanged memory between its snapshots; a state file holds them whole).
struct SMachineCore {
    std::array<uint8_t, kRegisterBlockSize> registers{};
    CKernel::SState kernel;
    uint32_t randomState = 0;
    int32_t mouseX = 0;
    int32_t mouseY = 0;
    uint32_t wheelLines = 3;
    std::vector<SHostTimer> timers; // the host timers the program started
};

struct SMachineState : SMachineCore {
    CMemoryImage memory; // data memory; its size is the machine's memory size
    SScreenState screen;
    bool hasSound = false;
    std::vector<SDiskSlotState> disks; // one per slot of the machine
};

// The registers, kernel, random generator, mouse and running host timers of a machine.
void CaptureMachineCore(const CMachine& machine, const CPlatform& platform, SMachineCore& core);
// Puts them back, all but the timers (a state file starts them on the host, the debugger's
// history replays them); the kernel comes last, after whatever else the caller restored
// before, so that no event of those restorations stays queued.
void ApplyMachineCore(CMachine& machine, const SMachineCore& core);

// The state of a complete machine and of the host timers its program started. An image that
// cannot be read for its checksum gets checksum 0 and file size 0.
void CaptureMachineState(const CMachine& machine, const CPlatform& platform, SMachineState& state);

// Size and CRC-32 of a file; false when it cannot be read.
bool ChecksumFile(const std::string& path, uint64_t& fileSize, uint32_t& checksum);

// The images of a state that exist but are no longer what they were when it was saved (their
// size or checksum differ), one message each. The host asks or warns before loading.
void CheckStateImages(const SMachineState& state, std::vector<std::string>& changes);

// Puts a slot's image at a position of its data area as Tell gave it (its end included).
bool RestoreSlotPosition(CDiskSlot& slot, uint32_t position);

// Puts a complete machine into a saved state. The memory is replaced first, and when that
// fails (`error` says why) nothing has changed. Then the slots get the saved images (an image
// that cannot be inserted is reported in `warnings` and leaves its slot empty), the screen, mouse,
// random generator and host timers their values, notes still sounding are silenced, and the kernel
// takes its state last, so that no event of the insertions stays queued. The machine takes the
// state's memory image over as it is, without a copy: the state's memory is empty afterwards.
bool ApplyMachineState(CMachine& machine, CPlatform& platform, SMachineState&& state,
                       std::vector<std::string>& warnings, std::string& error);
