#include "host/audio/Synthesizer.h"

#include <fluidsynth.h>

#include <mutex>

namespace {
// Channel voice messages by their upper status nibble.
enum : uint8_t {
    kNoteOff = 0x80,
    kNoteOn = 0x90,
    kKeyPressure = 0xA0,
    kControlChange = 0xB0,
    kProgramChange = 0xC0,
    kChannelPressure = 0xD0,
    kPitchBend = 0xE0,
};
constexpr uint8_t kSystemResetStatus = 0xFF;

// The library reports through its own log, on standard error by default; our callers get
// the failure as a result and show it their own way.
void SilenceLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
    });
}
} // namespace

CSynthesizer::CSynthesizer(uint32_t sampleRate) : sampleRate(sampleRate) {}

CSynthesizer::~CSynthesizer() {
    if (synth)
        delete_fluid_synth(synth);
    if (settings)
        delete_fluid_settings(settings);
}

bool CSynthesizer::Load(const std::string& path, std::string& errorText) {
    SilenceLibraryLog();
    if (!fluid_is_soundfont(path.c_str())) {
        errorText = "No usable SoundFont at \"" + path + "\"";
        return false;
    }
    settings = new_fluid_settings();
    if (!settings) {
        errorText = "Cannot create the synthesizer";
        return false;
    }
    fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
    fluid_settings_setnum(settings, "synth.gain", 0.4);
    fluid_settings_setint(settings, "synth.threadsafe-api", 1);
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    synth = new_fluid_synth(settings);
    if (!synth) {
        errorText = "Cannot create the synthesizer";
        return false;
    }
    if (fluid_synth_sfload(synth, path.c_str(), 1) == FLUID_FAILED) {
        errorText = "Cannot load the SoundFont \"" + path + "\"";
        return false;
    }
    soundFontPath = path;
    return true;
}

bool CSynthesizer::SendShortMessage(uint32_t packed) {
    SShortMessage message;
    return synth && decoder.Decode(packed, message) && Play(message);
}

bool CSynthesizer::Play(const SShortMessage& message) {
    const int channel = message.status & 0x0F;
    const uint8_t data1 = message.data1;
    const uint8_t data2 = message.data2;
    switch (message.status & 0xF0) {
    case kNoteOn:
        if (data2 != 0)
            return fluid_synth_noteon(synth, channel, data1, data2) == FLUID_OK;
        [[fallthrough]]; // velocity 0 is a note-off
    case kNoteOff:
        // A note-off for a note that no longer sounds is still a valid message.
        fluid_synth_noteoff(synth, channel, data1);
        return true;
    case kKeyPressure:
        return fluid_synth_key_pressure(synth, channel, data1, data2) == FLUID_OK;
    case kControlChange:
        return fluid_synth_cc(synth, channel, data1, data2) == FLUID_OK;
    case kProgramChange:
        return fluid_synth_program_change(synth, channel, data1) == FLUID_OK;
    case kChannelPressure:
        return fluid_synth_channel_pressure(synth, channel, data1) == FLUID_OK;
    case kPitchBend:
        return fluid_synth_pitch_bend(synth, channel, data1 | data2 << 7) == FLUID_OK;
    default:
        break;
    }
    // The timing and transport messages mean nothing to a synthesizer that just plays.
    if (message.status == kSystemResetStatus)
        SystemReset();
    return true;
}

void CSynthesizer::AllNotesOff() {
    if (synth)
        fluid_synth_all_notes_off(synth, -1);
}

void CSynthesizer::SystemReset() {
    decoder.Reset();
    if (synth)
        fluid_synth_system_reset(synth);
}

void CSynthesizer::Render(float* left, float* right, size_t frames) {
    if (synth)
        fluid_synth_write_float(synth, static_cast<int>(frames), left, 0, 1, right, 0, 1);
}
