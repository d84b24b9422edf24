// Building one machine from the settings files and the command line, and taking it apart
// again with the user settings rewritten. The window program and the headless runner both
// go through here, so a machine is assembled the same way wherever it runs.
#pragma once

#include "core/Machine.h"
#include "devices/MidiOutput.h"
#include "host/MachineBuilder.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CPlatform;
class CScreenSurface;
namespace qm {
class CINIFile;
}

// What the host hands to machine assembly: its services (platform, screen surface, MIDI
// outputs) and where the machine's settings come from.
struct SMachineEnvironment {
    CPlatform* platform = nullptr;
    // The directory of the settings files, ending with a separator.
    std::string settingsDirectory;
    // The command line without the program's name, as every option scanner reads it.
    std::string commandLine;
    // The window starts minimised (the screen device needs to know).
    bool startMinimized = false;
    // What the screen draws on. Without one the screen cannot measure its font and the
    // machine does not start.
    CScreenSurface* screenSurface = nullptr;
    // Runs once the machine is complete and connected, right before the kernel boots (the
    // headless runner inserts its images here).
    std::function<void(CMachine&)> beforeBoot;
    // Makes the sound device's MIDI output (the host's audio: CHostAudio::MidiOutputs).
    // Without one a machine with MIDI enabled starts without sound, as when the output
    // cannot open.
    MidiOutputFactory midiOutput;
};

// Reads the settings files from the environment's directory, builds the devices in their
// fixed order and attaches the kernel. False when the machine is incomplete: "Unable to
// start the machine" is then on top of the reasons on the error stack, and the devices
// built so far stay in `host` for DestroyMachine.
bool CreateMachine(SHostMachine& host, const SMachineEnvironment& environment);

// The same from two documents the caller already has (a host with a built-in
// configuration reads no files).
bool AssembleMachine(SHostMachine& host, const SMachineEnvironment& environment,
                     const qm::CINIFile& machineConfig, const qm::CINIFile& userSettings);

// Lets every device write what it remembers into a fresh user settings document, replaces
// the user settings file with it (showing the errors at once when that fails) and deletes
// the devices.
void DestroyMachine(SHostMachine& host, const SMachineEnvironment& environment);

// The host's current machine: at most one at a time.
class CMachineHost {
public:
    explicit CMachineHost(SMachineEnvironment environment);
    ~CMachineHost();
    CMachineHost(const CMachineHost&) = delete;
    CMachineHost& operator=(const CMachineHost&) = delete;

    // Builds a new current machine. When that fails, shows the error stack, destroys what
    // was built (which still writes the user settings) and leaves no current machine.
    bool StartMachine();
    // Destroys the current machine, if any.
    void StopMachine();

    // The current machine, or null.
    CMachine* GetMachine() { return current ? &current->machine : nullptr; }
    const SMachineEnvironment& GetEnvironment() const { return environment; }
    SMachineEnvironment& GetEnvironment() { return environment; }

private:
    SMachineEnvironment environment;
    std::unique_ptr<SHostMachine> current;
};
