// The MIDI output to a port of the system's MIDI sequencer, for an external or separately
// running synthesizer. The port is named as the sequencer names ports: "client:port" by
// number or by client name ("128:0", "Synth input:0").
#pragma once

#include "devices/MidiOutput.h"
#include "host/audio/ShortMessage.h"

#include <string>

struct _snd_seq;
struct snd_midi_event;

class CSequencerMidiOutput : public CMidiOutput {
public:
    explicit CSequencerMidiOutput(std::string portName) : portName(std::move(portName)) {}
    ~CSequencerMidiOutput() override;

    bool Open(std::string& errorText) override;
    bool SendShortMessage(uint32_t message) override;
    void Reset() override;
    void Close() override;

private:
    bool Send(const uint8_t* bytes, long count);

    std::string portName;
    _snd_seq* sequencer = nullptr;
    snd_midi_event* encoder = nullptr;
    int port = -1;
    CShortMessageDecoder decoder;
};
