// Putting one machine together: each device into its field of the CMachine, then every
// device connected to the machine and the device groups handed to the kernel, then the boot.
// Machine assembly builds the machine of the settings files with it; tests, benchmarks and
// fuzzing build smaller machines with it (a kernel with a table of their own, a disk in
// memory, no screen), so that a machine is wired in one place only.
#pragma once

#include "core/Machine.h"
#include "core/ServiceGroup.h"

#include <functional>
#include <memory>
#include <vector>

class CDevice;

// One machine as the host holds it: the devices in the machine's fields, which it owns and
// through which they reach each other, and the service groups that belong to the machine
// rather than to one device.
struct SHostMachine {
    SHostMachine() = default;
    SHostMachine(const SHostMachine&) = delete;
    SHostMachine& operator=(const SHostMachine&) = delete;
    // Deletes the devices that are still there.
    ~SHostMachine();

    // Deletes the devices (in the order of ForEachDevice) and the machine's groups.
    void Clear();

    CMachine machine;
    std::vector<std::unique_ptr<CServiceGroup>> services;
};

// Visits the devices that exist in the machine's one order: memory, kernel, screen, the disk
// slots, sound, keyboard, mouse. Their settings are saved and they are deleted in that order;
// the screen comes before the disks so that its "Font" section leads the user settings file.
void ForEachDevice(CMachine& machine, const std::function<void(CDevice&)>& action);

class CMachineBuilder {
public:
    explicit CMachineBuilder(SHostMachine& host) : host(host) {}

    // Takes a device into its field of the machine (a disk slot into the next free slot,
    // at most kMaxDiskSlots) and returns it. It is not connected until Connect.
    template <typename TDevice>
    TDevice& Add(std::unique_ptr<TDevice> device) {
        TDevice& added = *device;
        Place(device.release());
        return added;
    }

    // Puts `disk` into slot `slot` in place of the one there, which is deleted. It is not
    // connected until Connect.
    template <typename TDisk>
    TDisk& ReplaceDisk(int32_t slot, std::unique_ptr<TDisk> disk) {
        TDisk& added = *disk;
        PlaceDisk(slot, disk.release());
        return added;
    }

    // The disk group: it serves every slot, so it belongs to the machine rather than to a
    // slot. Machine assembly always has it, even without slots. Needs the kernel; without
    // one (a machine that could not be built) it does nothing.
    void AddDiskServices();

    // Gives every device its machine and hands the groups of the devices present to the
    // kernel, if there is one. After more devices were added it connects them as well.
    void Connect();

    // The kernel attaches to the complete machine and boots it.
    void Boot();

private:
    void Place(CMemory* device);
    void Place(CKernel* device);
    void Place(CScreen* device);
    void Place(CDiskSlot* device);
    void Place(CSound* device);
    void Place(CKeyboard* device);
    void Place(CMouse* device);
    void PlaceDisk(int32_t slot, CDiskSlot* disk);

    SHostMachine& host;
};
