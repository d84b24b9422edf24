#include "host/MachineAssembly.h"

#include "core/Kernel.h"
#include "core/Memory.h"
#include "core/ServiceGroup.h"
#include "devices/Disk.h"
#include "devices/DiskServices.h"
#include "devices/SlotList.h"
#include "host/SettingsFiles.h"
#include "isa/Dispatch.h"
#include "support/ErrorStack.h"
#include "support/INIError.h"
#include "support/INIFile.h"

#include <algorithm>

namespace {

const char* const kTag = ".\\main";

// System-call groups of the devices.
enum : uint32_t {
    kKeyboardGroup = 2,
    kMouseGroup = 3,
    kSoundGroup = 4,
    kScreenGroup = 5,
    kDiskGroup = 6,
};

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

template <typename F>
void ForEachDevice(CMachine& machine, F action) {
    // The order of saving and deleting: the reverse of building, disks in slot order.
    if (machine.memory)
        action(static_cast<CDevice&>(*machine.memory));
    if (machine.kernel)
        action(static_cast<CDevice&>(*machine.kernel));
    // Screen: its settings are saved here, before the disks, so that "Font" leads the file.
    for (int32_t slot = 0; slot < machine.diskCount; ++slot)
        action(static_cast<CDevice&>(*machine.disks[static_cast<size_t>(slot)]));
    // Sound, keyboard, mouse: saved here in this order once they exist.
}

int32_t ClampedDiskCount(const qm::CINIFile& machineConfig) {
    int32_t count = 0;
    machineConfig.GetInt("Disks", "Count", count);
    return std::clamp<int32_t>(count, 0, kMaxDiskSlots);
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

// Gives every device its owner and hands the device groups to the kernel.
void ConnectDevices(SHostMachine& host) {
    CMachine& machine = host.machine;
    ForEachDevice(machine, [&machine](CDevice& device) { device.SetMachine(&machine); });
    if (!machine.kernel)
        return;
    auto registerGroup = [&host](uint32_t group, std::unique_ptr<CServiceGroup> service) {
        host.machine.kernel->SetServiceGroup(group, service.get());
        host.services.push_back(std::move(service));
    };
    registerGroup(kDiskGroup, std::make_unique<CDiskServices>());
    // Keyboard (2), mouse (3), sound (4) and screen (5) register their groups here.
}

bool BuildDevices(SHostMachine& host, const SMachineEnvironment& environment,
                  const SInitArguments& args) {
    CMachine& machine = host.machine;

    // Mouse: built and initialised here; a failure stops the start.
    // Keyboard: built and initialised here; a failure stops the start.

    // Sound, only when the configuration enables MIDI (absent: no sound). A sound device
    // that cannot start is reported at once and left out; the machine runs without it.
    bool midiEnabled = false;
    args.machineConfig.GetBool("MIDI", "Enabled", midiEnabled);
    (void)midiEnabled;

    AddDiskSlots(machine, args);

    // Screen: built here (text mode, knowing environment.startMinimized); a failure stops
    // the start.

    if (!AddDevice(machine.kernel,
                   std::make_unique<CKernel>(*environment.platform, GetDispatchTable()), args))
        return false;
    if (!AddDevice(machine.memory, std::make_unique<CMemory>(), args))
        return false;
    return true;
}

} // namespace

SHostMachine::~SHostMachine() {
    // Normally DestroyMachine has emptied the machine already; this only guards against
    // leaks when a host forgets to.
    DeleteDevice(machine.memory);
    DeleteDevice(machine.kernel);
    for (int32_t slot = 0; slot < machine.diskCount; ++slot)
        DeleteDevice(machine.disks[static_cast<size_t>(slot)]);
    machine.diskCount = 0;
}

bool CreateMachine(SHostMachine& host, const SMachineEnvironment& environment) {
    bool complete = false;
    {
        qm::CINIFile machineConfig;
        qm::CINIFile userSettings;
        if (ReadSettingsFiles(environment.settingsDirectory, machineConfig, userSettings)) {
            const SInitArguments args{machineConfig, userSettings, environment.commandLine};
            complete = BuildDevices(host, environment, args);
        }
    }
    ConnectDevices(host);
    if (complete)
        host.machine.kernel->Attach();
    else
        qm::PushError("Unable to start the machine", kTag, 270);
    return complete;
}

void DestroyMachine(SHostMachine& host, const SMachineEnvironment& environment) {
    CMachine& machine = host.machine;
    qm::CINIFile userSettings;
    PutUserSettingsHeader(userSettings);
    bool saved = true;
    ForEachDevice(machine, [&](CDevice& device) {
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
    if (!saved || !WriteUserSettings(environment.settingsDirectory, userSettings))
        qm::ShowErrors();

    // The kernel goes before the devices it serves; its groups are unregistered with it.
    DeleteDevice(machine.memory);
    DeleteDevice(machine.kernel);
    // Screen: deleted here.
    for (int32_t slot = 0; slot < machine.diskCount; ++slot)
        DeleteDevice(machine.disks[static_cast<size_t>(slot)]);
    machine.diskCount = 0;
    // Sound, keyboard, mouse: deleted here in this order.
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
