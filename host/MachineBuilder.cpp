#include "host/MachineBuilder.h"

#include "core/DiskSlot.h"
#include "core/Kernel.h"
#include "core/Memory.h"
#include "devices/DiskServices.h"
#include "devices/Keyboard.h"
#include "devices/Mouse.h"
#include "devices/Screen.h"
#include "devices/Sound.h"

#include <stdexcept>

namespace {

// The machine's device fields in the order of ForEachDevice.
template <typename F>
void ForEachDeviceField(CMachine& machine, F&& action) {
    action(machine.memory);
    action(machine.kernel);
    action(machine.screen);
    for (int32_t slot = 0; slot < machine.diskCount; ++slot)
        action(machine.disks[static_cast<size_t>(slot)]);
    action(machine.sound);
    action(machine.keyboard);
    action(machine.mouse);
}

// Stores a device in its field; a device already there gives way.
template <typename TDevice>
void Store(TDevice*& field, TDevice* device) {
    delete field;
    field = device;
}

// Hands a device's system-call group to the kernel, when the device exists.
template <typename TDevice>
void RegisterGroup(CKernel& kernel, EServiceGroup group, TDevice* device) {
    if (device)
        kernel.SetServiceGroup(group, &device->GetServiceGroup());
}

} // namespace

SHostMachine::~SHostMachine() {
    // Normally the host has emptied the machine already (DestroyMachine); this also frees
    // the machines that tests and benchmarks build.
    Clear();
}

void SHostMachine::Clear() {
    ForEachDeviceField(machine, [](auto*& field) {
        delete field;
        field = nullptr;
    });
    machine.diskCount = 0;
    services.clear();
}

void ForEachDevice(CMachine& machine, const std::function<void(CDevice&)>& action) {
    ForEachDeviceField(machine, [&action](auto* device) {
        if (device)
            action(static_cast<CDevice&>(*device));
    });
}

void CMachineBuilder::Place(CMemory* device) {
    Store(host.machine.memory, device);
}

void CMachineBuilder::Place(CKernel* device) {
    Store(host.machine.kernel, device);
}

void CMachineBuilder::Place(CScreen* device) {
    Store(host.machine.screen, device);
}

void CMachineBuilder::Place(CDiskSlot* device) {
    if (host.machine.diskCount >= kMaxDiskSlots) {
        delete device;
        throw std::length_error("more disk slots than a machine has");
    }
    host.machine.disks[static_cast<size_t>(host.machine.diskCount++)] = device;
}

void CMachineBuilder::Place(CSound* device) {
    Store(host.machine.sound, device);
}

void CMachineBuilder::Place(CKeyboard* device) {
    Store(host.machine.keyboard, device);
}

void CMachineBuilder::Place(CMouse* device) {
    Store(host.machine.mouse, device);
}

void CMachineBuilder::PlaceDisk(int32_t slot, CDiskSlot* disk) {
    if (slot < 0 || slot >= host.machine.diskCount) {
        delete disk;
        throw std::out_of_range("no such disk slot");
    }
    Store(host.machine.disks[static_cast<size_t>(slot)], disk);
}

void CMachineBuilder::AddDiskServices() {
    CKernel* kernel = host.machine.kernel;
    if (!kernel)
        return;
    host.services.push_back(std::make_unique<CDiskServices>());
    kernel->SetServiceGroup(kGroupDisk, host.services.back().get());
}

void CMachineBuilder::Connect() {
    CMachine& machine = host.machine;
    ForEachDevice(machine, [&machine](CDevice& device) { device.SetMachine(&machine); });
    CKernel* kernel = machine.kernel;
    if (!kernel)
        return;
    RegisterGroup(*kernel, kGroupKeyboard, machine.keyboard);
    RegisterGroup(*kernel, kGroupMouse, machine.mouse);
    RegisterGroup(*kernel, kGroupSound, machine.sound);
    RegisterGroup(*kernel, kGroupScreen, machine.screen);
}

void CMachineBuilder::Boot() {
    host.machine.kernel->Attach();
}
