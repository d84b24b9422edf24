#include "host/MachineAssembly.h"

#include "core/Kernel.h"
#include "core/Memory.h"
#include "devices/Disk.h"
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

// Takes a new device into the machine and initialises it. The device stays in the machine
// even when Init fails, so that teardown treats it like every other.
template <typename TDevice>
bool AddDevice(CMachineBuilder& builder, std::unique_ptr<TDevice> device,
               const SInitArguments& args) {
    return builder.Add(std::move(device))
        .Init(args.machineConfig, args.userSettings, args.commandLine);
}

int32_t ClampedDiskCount(const qm::CINIFile& machineConfig) {
    int32_t count = 0;
    machineConfig.GetInt("Disks", "Count", count);
    return std::clamp<int32_t>(count, 0, kMaxDiskSlots);
}

// Sound exists only when the configuration enables MIDI (an absent key: no sound). A sound
// device that cannot start is reported at once and left out; the machine runs without it.
void AddSound(CMachineBuilder& builder, const MidiOutputFactory& midiOutput,
              const SInitArguments& args) {
    bool midiEnabled = false;
    args.machineConfig.GetBool("MIDI", "Enabled", midiEnabled);
    if (!midiEnabled)
        return;
    auto sound = std::make_unique<CSound>(midiOutput);
    if (!sound->Init(args.machineConfig, args.userSettings, args.commandLine)) {
        qm::ShowErrors();
        return;
    }
    builder.Add(std::move(sound));
}

// Builds the disk slots. A slot whose Init fails is shown at once and dropped; the next
// attempt takes over its number and flags, so the slots stay numbered without gaps.
void AddDiskSlots(CMachineBuilder& builder, const SInitArguments& args) {
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
        builder.Add(std::move(slot));
        ++made;
    }
}

// The devices in their fixed order; false at the first one that cannot start.
bool BuildDevices(CMachineBuilder& builder, const SMachineEnvironment& environment,
                  const SInitArguments& args) {
    CPlatform& platform = *environment.platform;
    if (!AddDevice(builder, std::make_unique<CMouse>(platform), args))
        return false;
    if (!AddDevice(builder, std::make_unique<CKeyboard>(), args))
        return false;
    AddSound(builder, environment.midiOutput, args);
    AddDiskSlots(builder, args);
    if (!AddDevice(builder,
                   std::make_unique<CScreen>(environment.screenSurface, environment.startMinimized),
                   args))
        return false;
    if (!AddDevice(builder, std::make_unique<CKernel>(platform, GetDispatchTable()), args))
        return false;
    return AddDevice(builder, std::make_unique<CMemory>(), args);
}

} // namespace

bool AssembleMachine(SHostMachine& host, const SMachineEnvironment& environment,
                     const qm::CINIFile& machineConfig, const qm::CINIFile& userSettings) {
    const SInitArguments args{machineConfig, userSettings, environment.commandLine};
    CMachineBuilder builder(host);
    const bool complete = BuildDevices(builder, environment, args);
    builder.Connect();
    builder.AddDiskServices();
    if (!complete) {
        qm::PushError("Unable to start the machine", kTag, 270);
        return false;
    }
    if (environment.beforeBoot)
        environment.beforeBoot(host.machine);
    builder.Boot();
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
    host.Clear();
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
