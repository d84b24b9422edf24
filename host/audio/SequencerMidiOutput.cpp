#include "host/audio/SequencerMidiOutput.h"

#include <alsa/asoundlib.h>

namespace {
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kSustainPedal = 64;
constexpr uint8_t kAllNotesOff = 123;
} // namespace

CSequencerMidiOutput::~CSequencerMidiOutput() {
    Close();
}

bool CSequencerMidiOutput::Open(std::string& errorText) {
    if (sequencer)
        return true;
    int result = snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_OUTPUT, 0);
    if (result < 0) {
        sequencer = nullptr;
        errorText = std::string("Cannot open the MIDI sequencer: ") + snd_strerror(result);
        return false;
    }
    snd_seq_set_client_name(sequencer, "Tarquil");
    port = snd_seq_create_simple_port(
        sequencer, "Tarquil MIDI out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    snd_seq_addr_t destination;
    if (port < 0) {
        errorText = std::string("Cannot create a sequencer port: ") + snd_strerror(port);
    } else if ((result = snd_seq_parse_address(sequencer, &destination, portName.c_str())) < 0) {
        errorText = "No MIDI sequencer port \"" + portName + "\"";
    } else if ((result = snd_seq_connect_to(sequencer, port, destination.client,
                                            destination.port)) < 0) {
        errorText = "Cannot connect to the MIDI sequencer port \"" + portName +
                    "\": " + snd_strerror(result);
    } else if ((result = snd_midi_event_new(16, &encoder)) < 0) {
        encoder = nullptr;
        errorText = std::string("Cannot encode MIDI events: ") + snd_strerror(result);
    } else {
        return true;
    }
    Close();
    return false;
}

bool CSequencerMidiOutput::Send(const uint8_t* bytes, long count) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_midi_event_reset_encode(encoder);
    if (snd_midi_event_encode(encoder, bytes, count, &event) != count ||
        event.type == SND_SEQ_EVENT_NONE)
        return false;
    snd_seq_ev_set_source(&event, port);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    return snd_seq_event_output_direct(sequencer, &event) >= 0;
}

bool CSequencerMidiOutput::SendShortMessage(uint32_t packed) {
    SShortMessage message;
    if (!sequencer || !decoder.Decode(packed, message))
        return false;
    const uint8_t bytes[3] = {message.status, message.data1, message.data2};
    return Send(bytes, message.length);
}

void CSequencerMidiOutput::Reset() {
    if (!sequencer)
        return;
    for (uint8_t channel = 0; channel < 16; ++channel) {
        const uint8_t status = kControlChange | channel;
        const uint8_t pedalUp[3] = {status, kSustainPedal, 0};
        const uint8_t notesOff[3] = {status, kAllNotesOff, 0};
        Send(pedalUp, 3);
        Send(notesOff, 3);
    }
    decoder.Reset();
}

void CSequencerMidiOutput::Close() {
    if (encoder)
        snd_midi_event_free(encoder);
    encoder = nullptr;
    if (sequencer)
        snd_seq_close(sequencer);
    sequencer = nullptr;
    port = -1;
}
