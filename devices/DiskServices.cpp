#include "devices/DiskServices.h"

#include "core/DiskSlot.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "core/Memory.h"

namespace {

constexpr uint32_t kFunction = kRegisterBlockAddress + 0x01;
constexpr uint32_t kResult = kRegisterBlockAddress + 0x02;
constexpr uint32_t kSlot = kRegisterBlockAddress + 0x04;
constexpr uint32_t kValue = kRegisterBlockAddress + 0x08;
constexpr uint32_t kReadOnlyFlag = kRegisterBlockAddress + 0x08;
constexpr uint32_t kInsertedFlag = kRegisterBlockAddress + 0x09;
constexpr uint32_t kAddress = kRegisterBlockAddress + 0x0C;

enum : uint32_t {
    kVersion = 1,
    kSlotCount = 2,
    kSlotState = 3,
    kDataSize = 4,
    kSeek = 5,
    kTell = 6,
    kWriteToDisk = 7,
    kReadFromDisk = 8,
};

// The slot the program names, or null when it names none of the machine's slots.
CDiskSlot* FindSlot(const CMachine* machine, int32_t slot) {
    if (!machine || slot < 0 || slot >= machine->diskCount)
        return nullptr;
    return machine->disks[static_cast<size_t>(slot)];
}

} // namespace

bool CDiskServices::Serve(CKernel& kernel, CMemory& memory, uint32_t function) {
    const CMachine* machine = kernel.GetMachine();
    if (function == kSlotCount)
        return memory.WriteDword(kSlot, machine ? static_cast<uint32_t>(machine->diskCount) : 0);

    uint32_t number;
    if (!memory.ReadDword(kSlot, number, false))
        return false;
    CDiskSlot* disk = FindSlot(machine, static_cast<int32_t>(number));
    if (!disk)
        return memory.WriteDword(kSlot, 0);

    if (function == kVersion)
        return memory.WriteDword(kSlot, disk->GetVersion());
    if (function < kSlotState || function > kReadFromDisk)
        return memory.WriteByte(kFunction, 0);
    bool result = false;
    if (!ServeSlot(memory, *disk, function, result))
        return false;
    return memory.WriteByte(kResult, result ? 1 : 0);
}

bool CDiskServices::ServeSlot(CMemory& memory, CDiskSlot& disk, uint32_t function, bool& result) {
    switch (function) {
    case kSlotState:
        result = true;
        return memory.WriteByte(kReadOnlyFlag, disk.IsReadOnly() ? 1 : 0) &&
               memory.WriteByte(kInsertedFlag, disk.HasDisk() ? 1 : 0);
    case kDataSize: {
        uint32_t size = 0;
        result = disk.GetSize(size);
        return memory.WriteDword(kValue, size);
    }
    case kSeek: {
        uint32_t position;
        if (!memory.ReadDword(kValue, position, false))
            return false;
        result = disk.Seek(position);
        return true;
    }
    case kTell: {
        uint32_t position;
        result = disk.Tell(position);
        return !result || memory.WriteDword(kValue, position);
    }
    default: { // kWriteToDisk, kReadFromDisk
        uint32_t count, address;
        if (!memory.ReadDword(kValue, count, false) || !memory.ReadDword(kAddress, address, false))
            return false;
        const int32_t signedCount = static_cast<int32_t>(count);
        result = function == kWriteToDisk ? memory.WriteToDisk(address, disk, signedCount)
                                          : memory.ReadFromDisk(address, disk, signedCount, false);
        return true;
    }
    }
}
