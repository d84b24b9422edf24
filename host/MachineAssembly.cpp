#include "host/MachineAssembly.h"

#include "core/Kernel.h"
#include "core/Memory.h"
#include "devices/Disk.h"
#include "devices/DiskServices.h"
#include "devices/Keyboard.h"
#include "devices/Mouse.h"
#include "devices/Screen.h"
#include "devices/SlotList.h"
#include "devices/Sound.h"
#include "host/SettingsFiles.h"
#include "isa/Dispatch.h"
#include "support/ErrorStack.h"
#include "support/INIError.h"
#include "support/INIFile.h"

#include <algorithm>

namespace {

const char* const kTag = ".\\main";

// The documents and the command line every device's Init reads.
struct SInitArguments {
    const qm::CINIFile& machineConfig;
    const qm::CINIFile& userSettings;
    const std::string& commandLine;
};

// Stores a new device in its field of the machine and initialises it. The device stays in
// the machine even when Init fails, so that teardown treats it like every other.
template <typename TDevice>
bool AddDevice(TDevice*& field, std::unique_ptr<TDevice> device, const SInitArguments& args) {
    field = device.release();
    return field->Init(args.machineConfig, args.userSettings, args.commandLine);
}

template <typename TDevice>
void DeleteDevice(TDevice*& field) {
    delete field;
    field = nullptr;
}

// The machine's device fields in the order of saving and deleting: memory, kernel, screen,
// the disk slots, sound, keyboard, mouse. The screen comes before the disks so that its
// "Font" section leads the user settings file.
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

// Visits the devices that exist, in that order.
template <typename F>
void ForEachDevice(CMachine& machine, F action) {
    ForEachDeviceField(machine, [&action](auto* device) {
        if (device)
            action(static_cast<CDevice&>(*device));
    });
}

void DeleteDevices(CMachine& machine) {
    ForEachDeviceField(machine, [](auto*& field) { DeleteDevice(field); });
    machine.diskCount = 0;
}

// Hands a device's system-call group to the kernel, when the device exists.
template <typename TDevice>
void RegisterGroup(CKernel& kernel, EServiceGroup group, TDevice* device) {
    if (device)
        kernel.SetServiceGroup(group, &device->GetServiceGroup());
}

int32_t ClampedDiskCount(const qm::CINIFile& machineConfig) {
    int32_t count = 0;
    machineConfig.GetInt("Disks", "Count", count);
    return std::clamp<int32_t>(count, 0, kMaxDiskSlots);
}

// Sound exists only when the configuration enables MIDI (an absent key: no sound). A sound
// device that cannot start is reported at once and left out; the machine runs without it.
void AddSound(CMachine& machine, const MidiOutputFactory& midiOutput, const SInitArguments& args) {
    bool midiEnabled = false;
    args.machineConfig.GetBool("MIDI", "Enabled", midiEnabled);
    if (!midiEnabled)
        return;
    if (!AddDevice(machine.sound, std::make_unique<CSound>(midiOutput), args)) {
        qm::ShowErrors();
        DeleteDevice(machine.sound);
    }
}

// Builds the disk slots. A slot whose Init fails is shown at once and dropped; the next
// attempt takes over its number and flags, so the slots stay numbered without gaps.
void AddDiskSlots(CMachine& machine, const SInitArguments& args) {
    const int32_t count = ClampedDiskCount(args.machineConfig);
    std::string readOnlyList;
    std::string rememberList;
    args.machineConfig.GetString("Disks", "Read-only", readOnlyList);
    args.machineConfig.GetString("Disks", "Remember", rememberList);
    const std::vector<bool> readOnly = ParseSlotList(readOnlyList, count);
    const std::vector<bool> remember = ParseSlotList(rememberList, count);

    int32_t made = 0;
    for (int32_t attempt = 0; attempt < count; ++attempt) {
        const auto number = static_cast<size_t>(made);
        auto slot = std::make_unique<CDisk>(readOnly[number], remember[number],
                                            static_cast<uint32_t>(made));
        if (!slot->Init(args.machineConfig, args.userSettings, args.commandLine)) {
            qm::ShowErrors();
            continue;
        }
        machine.disks[number] = slot.release();
        ++made;
    }
    machine.diskCount = made;
}

// The devices in their fixed order; false at the first one that cannot start.
bool BuildDevices(CMachine& machine, const SMachineEnvironment& environment,
                  const SInitArguments& args) {
    CPlatform& platform = *environment.platform;
    if (!AddDevice(machine.mouse, std::make_unique<CMouse>(platform), args))
        return false;
    if (!AddDevice(machine.keyboard, std::make_unique<CKeyboard>(), args))
        return false;
    AddSound(machine, environment.midiOutput, args);
    AddDiskSlots(machine, args);
    if (!AddDevice(machine.screen,
                   std::make_unique<CScreen>(environment.screenSurface, environment.startMinimized),
                   args))
        return false;
    if (!AddDevice(machine.kernel, std::make_unique<CKernel>(platform, GetDispatchTable()), args))
        return false;
    return AddDevice(machine.memory, std::make_unique<CMemory>(), args);
}

// Gives every device its owner and hands the device groups to the kernel.
void ConnectDevices(SHostMachine& host) {
    CMachine& machine = host.machine;
    ForEachDevice(machine, [&machine](CDevice& device) { device.SetMachine(&machine); });
    CKernel* kernel = machine.kernel;
    if (!kernel)
        return;
    RegisterGroup(*kernel, kGroupKeyboard, machine.keyboard);
    RegisterGroup(*kernel, kGroupMouse, machine.mouse);
    RegisterGroup(*kernel, kGroupSound, machine.sound);
    RegisterGroup(*kernel, kGroupScreen, machine.screen);
    // The disk group serves every slot, so it belongs to the machine rather than to a slot.
    host.services.push_back(std::make_unique<CDiskServices>());
    kernel->SetServiceGroup(kGroupDisk, host.services.back().get());
}

} // namespace

SHostMachine::~SHostMachine() {
    // Normally DestroyMachine has emptied the machine already; this only guards against
    // leaks when a host forgets to.
    DeleteDevices(machine);
}

bool AssembleMachine(SHostMachine& host, const SMachineEnvironment& environment,
                     const qm::CINIFile& machineConfig, const qm::CINIFile& userSettings) {
    const SInitArguments args{machineConfig, userSettings, environment.commandLine};
    const bool complete = BuildDevices(host.machine, environment, args);
    ConnectDevices(host);
    if (!complete) {
        qm::PushError("Unable to start the machine", kTag, 270);
        return false;
    }
    if (environment.beforeBoot)
        environment.beforeBoot(host.machine);
    host.machine.kernel->Attach();
    return true;
}

bool CreateMachine(SHostMachine& host, const SMachineEnvironment& environment) {
    // The documents know their paths, so that relative names in them can be resolved.
    const std::string& directory = environment.settingsDirectory;
    qm::CINIFile machineConfig(directory + kMachineConfigFileName);
    qm::CINIFile userSettings(directory + kUserSettingsFileName);
    if (!ReadSettingsFiles(directory, machineConfig, userSettings)) {
        qm::PushError("Unable to start the machine", kTag, 270);
        return false;
    }
    return AssembleMachine(host, environment, machineConfig, userSettings);
}

void DestroyMachine(SHostMachine& host, const SMachineEnvironment& environment) {
    qm::CINIFile userSettings;
    PutUserSettingsHeader(userSettings);
    bool saved = true;
    ForEachDevice(host.machine, [&](CDevice& device) {
        // A device whose remembered values cannot be stored (a name with a line break)
        // must not keep the others from saving theirs or the machine from being deleted.
        try {
            device.SaveSettings(userSettings);
        } catch (const qm::CINIError& error) {
            if (saved)
                qm::SetError(std::string("Unable to save configuration to file \"") +
                                 kUserSettingsFileName + "\" " + qm::DescribeINIError(error),
                             kTag, 304);
            saved = false;
        }
    });
    // A document that lost a device's values is not written: the previous file stays.
    if (!saved || !WriteUserSettings(environment.settingsDirectory, userSettings))
        qm::ShowErrors();
    DeleteDevices(host.machine);
    host.services.clear();
}

CMachineHost::CMachineHost(SMachineEnvironment environment) : environment(std::move(environment)) {}

CMachineHost::~CMachineHost() {
    StopMachine();
}

bool CMachineHost::StartMachine() {
    StopMachine();
    current = std::make_unique<SHostMachine>();
    if (CreateMachine(*current, environment))
        return true;
    qm::ShowErrors();
    StopMachine();
    return false;
}

void CMachineHost::StopMachine() {
    if (!current)
        return;
    DestroyMachine(*current, environment);
    current.reset();
}
