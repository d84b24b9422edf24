// What the sound device sees of a MIDI output: something that is opened once, takes packed
// short messages, can silence everything it sounds and is closed. The host decides what
// stands behind it (a software synthesizer, a sequencer port, a recorder in tests).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// What the machine configuration may say about the output. Empty fields keep the host's
// defaults.
struct SMidiOutputOptions {
    std::string soundFont;     // SoundFont file of the built-in synthesizer
    std::string output;        // empty or "synthesizer", or a sequencer port address
    std::string baseDirectory; // where relative file names in the options are taken from
};

class CMidiOutput {
public:
    CMidiOutput() = default;
    CMidiOutput(const CMidiOutput&) = delete;
    CMidiOutput& operator=(const CMidiOutput&) = delete;
    virtual ~CMidiOutput() = default;

    // False with a short human-readable reason when the output cannot be used.
    virtual bool Open(std::string& errorText) = 0;
    // A message packed as status | data1 << 8 | data2 << 16; true when it was taken.
    virtual bool SendShortMessage(uint32_t message) = 0;
    // Ends every sounding note on every channel.
    virtual void Reset() = 0;
    virtual void Close() = 0;
};

using MidiOutputFactory =
    std::function<std::unique_ptr<CMidiOutput>(const SMidiOutputOptions& options)>;
