// A recording of a session: the machine's state at its start, then everything the machine
// took from its host, in order, each stamped with the kernel's instruction count: the events
// the host posted, the moments the host let a waiting program run again, and the values the
// program read (clocks, key states, timer answers). Running the start state with these
// repeats the session exactly (docs/state-files.md).
#pragma once

#include "core/Event.h"

#include <cstdint>
#include <string>
#include <vector>

// What a program can read from its host, one kind per platform query.
enum class EHostValue : uint8_t {
    PerformanceFrequency = 1, // a: answered, b: frequency
    PerformanceCounter,       // a: counter
    TickCount,                // a: milliseconds
    KeyState,                 // a: key, b: down | toggled << 1
    KeyDownNow,               // a: key, b: down
    OSVersion,                // a: major | minor << 32, b: build | platform << 32
    WheelScrollLines,         // a: answered, b: lines
    StartTimer,               // a: id | interval << 32, b: started
    StopTimer,                // a: id, b: stopped
    DeviceValue,              // a: EDeviceValue, b: the value
};
inline constexpr uint8_t kLastHostValue = static_cast<uint8_t>(EHostValue::DeviceValue);

struct SRecordedItem {
    enum class EType : uint8_t { Event = 1, Resume = 2, Value = 3 };
    EType type = EType::Resume;
    uint64_t stamp = 0; // instruction count when the item arrived
    CEvent event = CEvent::Screen();
    EHostValue value = EHostValue::TickCount;
    uint64_t a = 0;
    uint64_t b = 0;

    bool operator==(const SRecordedItem&) const = default;
};

struct SRecording {
    std::vector<uint8_t> startState; // a state file's bytes
    std::vector<SRecordedItem> items;
    bool startsWaiting = false; // the program waited for input when the recording began
    uint64_t endCount = 0;      // the instruction count when the recording stopped
};

inline constexpr uint32_t kRecordingFileVersion = 1;

std::vector<uint8_t> EncodeRecording(const SRecording& recording);
// False with the reason in `error` for a file that is no recording, a newer one, or one that
// is damaged or cut off. The start state is checked when it is loaded.
bool DecodeRecording(const uint8_t* bytes, size_t count, SRecording& recording, std::string& error);

bool SaveRecordingFile(const std::string& path, const SRecording& recording, std::string& error);
bool LoadRecordingFile(const std::string& path, SRecording& recording, std::string& error);
