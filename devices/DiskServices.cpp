#include "devices/DiskServices.h"

#include "abi/SystemCalls.h"
#include "core/DiskSlot.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "core/Memory.h"

namespace {

constexpr uint32_t kFunction = RegisterAddress(kParamFunction);
constexpr uint32_t kResult = RegisterAddress(kParamByte2);
constexpr uint32_t kSlot = RegisterAddress(kParamDword4);
constexpr uint32_t kValue = RegisterAddress(kParamDword8);
// kDiskState answers in the first two bytes of r8.
constexpr uint32_t kReadOnlyFlag = RegisterAddress(kParamDword8);
constexpr uint32_t kInsertedFlag = RegisterAddress(kParamDword8 + 1);
constexpr uint32_t kAddress = RegisterAddress(kParamDword12);

// The slot the program names, or null when it names none of the machine's slots.
CDiskSlot* FindSlot(const CMachine* machine, int32_t slot) {
    if (!machine || slot < 0 || slot >= machine->diskCount)
        return nullptr;
    return machine->disks[static_cast<size_t>(slot)];
}

} // namespace

bool CDiskServices::Serve(CKernel& kernel, CMemory& memory, uint32_t function) {
    const CMachine* machine = kernel.GetMachine();
    if (function == kDiskCount)
        return memory.WriteDword(kSlot, machine ? static_cast<uint32_t>(machine->diskCount) : 0);

    uint32_t number;
    if (!memory.ReadDword(kSlot, number, false))
        return false;
    CDiskSlot* disk = FindSlot(machine, static_cast<int32_t>(number));
    if (!disk)
        return memory.WriteDword(kSlot, 0);

    if (function == kDiskVersion)
        return memory.WriteDword(kSlot, disk->GetVersion());
    if (function < kDiskState || function > kDiskRead)
        return memory.WriteByte(kFunction, 0);
    bool result = false;
    if (!ServeSlot(memory, *disk, function, result))
        return false;
    return memory.WriteByte(kResult, result ? 1 : 0);
}

bool CDiskServices::ServeSlot(CMemory& memory, CDiskSlot& disk, uint32_t function, bool& result) {
    switch (function) {
    case kDiskState:
        result = true;
        return memory.WriteByte(kReadOnlyFlag, disk.IsReadOnly() ? 1 : 0) &&
               memory.WriteByte(kInsertedFlag, disk.HasDisk() ? 1 : 0);
    case kDiskSize: {
        uint32_t size = 0;
        result = disk.GetSize(size);
        return memory.WriteDword(kValue, size);
    }
    case kDiskSeek: {
        uint32_t position;
        if (!memory.ReadDword(kValue, position, false))
            return false;
        result = disk.Seek(position);
        return true;
    }
    case kDiskTell: {
        uint32_t position;
        result = disk.Tell(position);
        return !result || memory.WriteDword(kValue, position);
    }
    default: { // kDiskWrite, kDiskRead
        uint32_t count, address;
        if (!memory.ReadDword(kValue, count, false) || !memory.ReadDword(kAddress, address, false))
            return false;
        const int32_t signedCount = static_cast<int32_t>(count);
        result = function == kDiskWrite ? memory.WriteToDisk(address, disk, signedCount)
                                        : memory.ReadFromDisk(address, disk, signedCount, false);
        return true;
    }
    }
}
