// The kernel's part of machine start-up: its options, its thread priority, and the boot.
#include "core/Kernel.h"

#include "core/DiskSlot.h"
#include "core/Machine.h"
#include "core/Platform.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"
#include "support/TextFunctions.h"

namespace {
const char* const kTag = ".\\kernel";
}

bool CKernel::ParseCommandLine(const std::string& commandLine) {
    std::string token;
    size_t position = 0;
    while (qm::NextToken(commandLine, token, position)) {
        if (qm::LowerCopy(token) != "-boot")
            continue;
        if (!qm::NextToken(commandLine, token, position)) {
            qm::SetError("Invalid parameters in \"-boot\"", kTag, 3436);
            qm::PushError("Syntax error in command line \"" + commandLine + "\"");
            return false;
        }
        bootSlot = qm::StrToInt(token);
    }
    return true;
}

bool CKernel::Init(const qm::CINIFile& machineConfig, const qm::CINIFile&,
                   const std::string& commandLine) {
    if (!ParseCommandLine(commandLine))
        return false;
    int32_t priority = -1; // a missing key is refused like any other bad value
    machineConfig.GetInt("Kernel", "Priority", priority);
    if (priority < 0 || priority > 6) {
        qm::PushError("Invalid thread priority in configuration Kernel.Priority (" +
                          std::to_string(priority) + ")",
                      kTag, 306);
        return false;
    }
    platform.SetThreadPriority(static_cast<EThreadPriority>(priority));
    return true;
}

void CKernel::Attach() {
    if (machine && machine->memory)
        memory = machine->memory;
    Boot();
}

void CKernel::Attach(CMemory& attachedMemory) {
    memory = &attachedMemory;
    Boot();
}

void CKernel::Boot() {
    running = true;
    bootedSlot = -1;
    if (!machine || !memory) {
        Fail("Internal kernel error (no pointer to devices)");
        return;
    }
    // A negative boot slot would read before the first slot: start the search at slot 0.
    for (int32_t slot = bootSlot < 0 ? 0 : bootSlot; slot < machine->diskCount; ++slot) {
        CDiskSlot* disk = machine->disks[static_cast<size_t>(slot)];
        uint32_t dataSize = 0;
        if (!disk || !disk->HasDisk() || !disk->GetSize(dataSize) || dataSize < 4)
            continue;
        int32_t length = 0;
        if (!disk->Seek(0) || !disk->Read(&length, 4))
            continue;
        if (length < 0)
            length = static_cast<int32_t>(dataSize - 4);
        if (length == 0)
            continue;
        LoadBootImage(*disk, static_cast<uint32_t>(slot), length);
        return;
    }
    Fail("No disk to boot");
}

void CKernel::LoadBootImage(CDiskSlot& disk, uint32_t slot, int32_t length) {
    if (length > memory->GetSize()) {
        Fail("Not enought memory to boot from disk " + std::to_string(slot));
        return;
    }
    if (!memory->ReadFromDisk(0, disk, length, false))
        Fail("Cannot boot from disk " + std::to_string(slot));
    else
        bootedSlot = static_cast<int32_t>(slot);
}
