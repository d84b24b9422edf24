#include "devices/Sound.h"

#include "abi/SystemCalls.h"
#include "core/Memory.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

namespace {
const char* const kTag = ".\\sound";

constexpr uint32_t kFunctionAddress = RegisterAddress(kParamFunction);
constexpr uint32_t kResultAddress = RegisterAddress(kParamByte2);
constexpr uint32_t kValueAddress = RegisterAddress(kParamDword4);

// The directory part of a path, with its trailing slash ("" when there is none).
std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
} // namespace

CSound::~CSound() {
    if (open) {
        // Notes left sounding would otherwise hang on after the machine is gone.
        output->Reset();
        output->Close();
    }
}

SMidiOutputOptions CSound::ReadOptions(const qm::CINIFile& machineConfig) {
    SMidiOutputOptions options;
    machineConfig.GetString("MIDI", "SoundFont", options.soundFont);
    machineConfig.GetString("MIDI", "Output", options.output);
    options.baseDirectory = DirectoryOf(machineConfig.GetFileName());
    return options;
}

bool CSound::Init(const qm::CINIFile& machineConfig, const qm::CINIFile&, const std::string&) {
    std::string reason;
    if (!output && factory)
        output = factory(ReadOptions(machineConfig));
    if (!output)
        reason = "No MIDI output is available";
    else if (output->Open(reason))
        open = true;

    if (open)
        return true;
    if (reason.empty())
        reason = "Cannot retrieve error message";
    output.reset();
    const std::string cause = "Cannot initialize MIDI (" + reason + ")";
    if (machineConfig.GetFileName().empty()) {
        qm::SetError(cause, kTag, 55);
    } else {
        // Without a way out, the box would come back at every start and Reset. The box
        // lists the newest message first, so the way out, put first, ends it.
        qm::SetError("To start without sound, set Enabled=0 in the [MIDI] section of "
                     "Tarquil1.ini");
        qm::PushError(cause, kTag, 55);
    }
    qm::PushError("Unable to create MIDI sound device", kTag, 59);
    return false;
}

bool CSound::SendShortMessage(uint32_t message) {
    return open && output->SendShortMessage(message);
}

bool CSound::Serve(CKernel&, CMemory& memory, uint32_t function) {
    switch (function) {
    case kSoundVersion:
        return memory.WriteDword(kValueAddress, GetVersion());
    case kSoundSend: {
        uint32_t message;
        if (!memory.ReadDword(kValueAddress, message, false))
            return false;
        return memory.WriteByte(kResultAddress, SendShortMessage(message) ? 1 : 0);
    }
    default:
        return memory.WriteByte(kFunctionAddress, 0);
    }
}
