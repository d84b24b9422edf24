// The machine's sound device: one open MIDI output, and system-call group 4 through which
// the running program sends single short MIDI messages to it. The program composes every
// message itself; the device passes them on at once, without queueing or checking them.
#pragma once

#include "core/Device.h"
#include "core/ServiceGroup.h"
#include "devices/MidiOutput.h"

#include <cstdint>
#include <memory>
#include <string>

class CSound : public CDevice, public CServiceGroup {
public:
    // The output is made at Init by the host's factory, from the machine configuration's
    // MIDI keys; without a factory no MIDI output exists and Init fails.
    explicit CSound(MidiOutputFactory factory = {}) : factory(std::move(factory)) {}
    // The output is the one given (hosts and tests that build their own).
    explicit CSound(std::unique_ptr<CMidiOutput> output) : output(std::move(output)) {}
    ~CSound() override;

    // Reads the optional MIDI keys of the machine configuration and opens the output.
    bool Init(const qm::CINIFile& machineConfig, const qm::CINIFile& userSettings,
              const std::string& commandLine) override;

    // False when no output is open or the output refused the message.
    bool SendShortMessage(uint32_t message);
    bool IsOpen() const { return open; }

    // Group 4: 1 the device version, 2 send a short message.
    bool Serve(CKernel& kernel, CMemory& memory, uint32_t function) override;
    CServiceGroup& GetServiceGroup() { return *this; }

private:
    static SMidiOutputOptions ReadOptions(const qm::CINIFile& machineConfig);

    MidiOutputFactory factory;
    std::unique_ptr<CMidiOutput> output;
    bool open = false;
};
