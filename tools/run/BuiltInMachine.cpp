#include "BuiltInMachine.h"

#include "core/DiskSlot.h"
#include "core/Machine.h"
#include "host/MachineAssembly.h"
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
