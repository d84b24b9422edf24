// The machine the runner builds when it is given no settings directory: a fixed
// configuration (memory from --memory, normal priority, MIDI only with --midi, eight slots
// or one per image, none remembering), an empty user settings document, and the images in
// slots 0, 1, 2, ... before the boot. Nothing is written at the stop.
#pragma once

#include "RunOptions.h"
#include "devices/MidiOutput.h"

namespace qm {
class CINIFile;
}
class CPlatform;
class CScreenSurface;
struct SHostMachine;
struct SMachineState;

// The built-in machine configuration as a document.
void BuildBuiltInConfiguration(const SRunOptions& options, qm::CINIFile& machineConfig);

// Assembles and boots the machine. False when it could not be started; the reasons are
// then on the error stack and the devices built so far stay in `host`.
bool StartBuiltInMachine(SHostMachine& host, CPlatform& platform, CScreenSurface& surface,
                         MidiOutputFactory midiOutput, const SRunOptions& options);

// The built-in machine shaped after a saved state (its memory size, its slots with their
// flags, sound when it had sound), without images, ready for ApplyMachineState. False when
// it could not be started (reasons on the error stack).
bool StartBuiltInMachineForState(SHostMachine& host, CPlatform& platform, CScreenSurface& surface,
                                 MidiOutputFactory midiOutput, const SRunOptions& options,
                                 const SMachineState& state);
