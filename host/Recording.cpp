#include "host/Recording.h"

#include "host/ByteStream.h"
#include "host/EventBytes.h"
#include "host/PackedFile.h"

namespace {

constexpr char kMagic[kPackedMagicSize + 1] = "TarquilRecord\r\n\x1a";
// A recording holds a state file and its items; bigger than this is no recording of ours.
constexpr uint64_t kMaxRecordingPayload = uint64_t{8} << 30;
constexpr size_t kSmallestItem = 1 + 8;

void PutItem(CByteWriter& out, const SRecordedItem& item) {
    out.Put(static_cast<uint8_t>(item.type));
    out.Put(item.stamp);
    switch (item.type) {
    case SRecordedItem::EType::Event:
        PutEvent(out, item.event);
        break;
    case SRecordedItem::EType::Resume:
        break;
    case SRecordedItem::EType::Value:
        out.Put(static_cast<uint8_t>(item.value));
        out.Put(item.a);
        out.Put(item.b);
        break;
    }
}

bool GetItem(CByteReader& in, SRecordedItem& item) {
    uint8_t type = 0;
    in.Get(type);
    in.Get(item.stamp);
    switch (static_cast<SRecordedItem::EType>(type)) {
    case SRecordedItem::EType::Event:
        item.type = SRecordedItem::EType::Event;
        return GetEvent(in, item.event);
    case SRecordedItem::EType::Resume:
        item.type = SRecordedItem::EType::Resume;
        return in.IsOk();
    case SRecordedItem::EType::Value: {
        uint8_t value = 0;
        in.Get(value);
        in.Get(item.a);
        in.Get(item.b);
        item.type = SRecordedItem::EType::Value;
        item.value = static_cast<EHostValue>(value);
        return in.IsOk() && value >= 1 && value <= kLastHostValue;
    }
    }
    return false;
}

} // namespace

std::vector<uint8_t> EncodeRecording(const SRecording& recording) {
    std::vector<uint8_t> payload;
    CByteWriter out(payload);
    out.Put(static_cast<uint64_t>(recording.startState.size()));
    out.PutBytes(recording.startState.data(), recording.startState.size());
    out.Put(static_cast<uint8_t>(recording.startsWaiting ? 1 : 0));
    out.Put(recording.endCount);
    out.Put(static_cast<uint64_t>(recording.items.size()));
    for (const SRecordedItem& item : recording.items)
        PutItem(out, item);
    return PackFile(kMagic, kRecordingFileVersion, payload);
}

bool DecodeRecording(const uint8_t* bytes, size_t count, SRecording& recording,
                     std::string& error) {
    SPayload payload;
    if (!UnpackFile(bytes, count, kMagic, kRecordingFileVersion, "a Tarquil recording",
                    kMaxRecordingPayload, payload, error))
        return false;
    CByteReader in(payload.bytes.get(), payload.size);
    SRecording decoded;
    uint64_t stateSize = 0;
    uint64_t itemCount = 0;
    uint8_t startsWaiting = 0;
    const uint8_t* state = nullptr;
    if (in.Get(stateSize) && in.CanHold(stateSize, 1))
        state = in.View(static_cast<size_t>(stateSize));
    in.Get(startsWaiting);
    in.Get(decoded.endCount);
    in.Get(itemCount);
    decoded.startsWaiting = startsWaiting == 1;
    if (!state || startsWaiting > 1 || !in.CanHold(itemCount, kSmallestItem)) {
        error = "the recording is damaged";
        return false;
    }
    decoded.startState.assign(state, state + stateSize);
    decoded.items.resize(static_cast<size_t>(itemCount));
    uint64_t last = 0;
    for (SRecordedItem& item : decoded.items) {
        // Items come in the order they arrived, so their stamps never fall.
        if (!GetItem(in, item) || item.stamp < last || item.stamp > decoded.endCount) {
            error = "the recording is damaged";
            return false;
        }
        last = item.stamp;
    }
    if (!in.AtEnd()) {
        error = "the recording is damaged";
        return false;
    }
    recording = std::move(decoded);
    return true;
}

bool SaveRecordingFile(const std::string& path, const SRecording& recording, std::string& error) {
    const std::vector<uint8_t> bytes = EncodeRecording(recording);
    std::string reason = "cannot compress it";
    if (bytes.empty() || !WriteWholeFile(path, bytes, reason)) {
        error = "cannot save the recording to \"" + path + "\": " + reason;
        return false;
    }
    return true;
}

bool LoadRecordingFile(const std::string& path, SRecording& recording, std::string& error) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadWholeFile(path, bytes, reason) ||
        !DecodeRecording(bytes.data(), bytes.size(), recording, reason)) {
        error = "cannot load the recording \"" + path + "\": " + reason;
        return false;
    }
    return true;
}
