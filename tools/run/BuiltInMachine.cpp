#include "BuiltInMachine.h"

#include "core/DiskSlot.h"
#include "core/Machine.h"
#include "host/MachineAssembly.h"
#include "host/MachineState.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

#include <algorithm>

namespace {

// The images go in before the boot, as if the user had put them there.
void InsertImages(CMachine& machine, const std::vector<std::string>& images) {
    for (size_t i = 0; i < images.size(); ++i) {
        if (static_cast<int32_t>(i) >= machine.diskCount) {
            qm::ShowErrorText("Cannot insert disk \"" + images[i] + "\": the machine has no slot " +
                              std::to_string(i) + "\n");
            continue;
        }
        if (!machine.disks[i]->Insert(images[i]))
            qm::ShowErrors();
    }
}

} // namespace

void BuildBuiltInConfiguration(const SRunOptions& options, qm::CINIFile& machineConfig) {
    const auto count =
        static_cast<int32_t>(std::max<size_t>(8, std::min(options.images.size(), kMaxImages)));
    machineConfig.SetString("Memory", "Size", options.memorySize);
    machineConfig.SetInt("Kernel", "Priority", 3);
    machineConfig.SetString("MIDI", "Enabled", options.midi ? "true" : "false");
    machineConfig.SetInt("Disks", "Count", count);
    if (options.readOnly && !options.images.empty())
        machineConfig.SetString("Disks", "Read-only",
                                "0-" + std::to_string(options.images.size() - 1));
}

bool StartBuiltInMachine(SHostMachine& host, CPlatform& platform, CScreenSurface& surface,
                         MidiOutputFactory midiOutput, const SRunOptions& options) {
    qm::CINIFile machineConfig;
    const qm::CINIFile userSettings;
    BuildBuiltInConfiguration(options, machineConfig);
    SMachineEnvironment environment;
    environment.platform = &platform;
    environment.commandLine = options.machineCommandLine;
    environment.screenSurface = &surface;
    environment.midiOutput = std::move(midiOutput);
    environment.beforeBoot = [&options](CMachine& machine) {
        InsertImages(machine, options.images);
    };
    return AssembleMachine(host, environment, machineConfig, userSettings);
}

namespace {

// The slots whose flag is set, as a slot list ("0,3,5").
std::string SlotsWhere(const std::vector<SDiskSlotState>& disks, bool SDiskSlotState::*flag) {
    std::string list;
    for (size_t slot = 0; slot < disks.size(); ++slot) {
        if (disks[slot].*flag)
            list += (list.empty() ? "" : ",") + std::to_string(slot);
    }
    return list;
}

} // namespace

bool StartBuiltInMachineForState(SHostMachine& host, CPlatform& platform, CScreenSurface& surface,
                                 MidiOutputFactory midiOutput, const SRunOptions& options,
                                 const SMachineState& state) {
    SRunOptions shaped = options;
    shaped.images.clear();
    shaped.memorySize = std::to_string(state.memory.GetSize());
    shaped.midi = options.midi || state.hasSound;
    qm::CINIFile machineConfig;
    const qm::CINIFile userSettings;
    BuildBuiltInConfiguration(shaped, machineConfig);
    machineConfig.SetInt("Disks", "Count", static_cast<int32_t>(state.disks.size()));
    machineConfig.SetString("Disks", "Read-only",
                            SlotsWhere(state.disks, &SDiskSlotState::readOnly));
    machineConfig.SetString("Disks", "Remember",
                            SlotsWhere(state.disks, &SDiskSlotState::remember));
    SMachineEnvironment environment;
    environment.platform = &platform;
    environment.commandLine = options.machineCommandLine;
    environment.screenSurface = &surface;
    environment.midiOutput = std::move(midiOutput);
    // The boot finds no disk and fails; the state then replaces everything it touched.
    return AssembleMachine(host, environment, machineConfig, userSettings);
}
