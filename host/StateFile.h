// The machine state file: a versioned, checked and compressed image of SMachineState
// (docs/state-files.md describes the format byte by byte). Decoding builds the whole state
// aside and either succeeds or says why it refused; it never half-fills a machine.
#pragma once

#include "host/MachineState.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint32_t kStateFileVersion = 1;
// The largest payload a state file may declare by default: a machine with the largest
// memory and the largest screen.
inline constexpr uint64_t kMaxStatePayload = uint64_t{6} << 30;

// The file's bytes for a state; empty for a state without memory.
std::vector<uint8_t> EncodeMachineState(const SMachineState& state);

// The state in a file's bytes; false with the reason in `error` for a file that is not a
// state file, comes from a newer version, is damaged or truncated. `maxPayload` bounds the
// memory a file can make the decoder allocate.
bool DecodeMachineState(const uint8_t* bytes, size_t count, SMachineState& state,
                        std::string& error, uint64_t maxPayload = kMaxStatePayload);

// The same with files; the error then names the file. Both stream: the memory is compressed
// from where it lies and decompressed straight into the state's memory image, and the file
// is never held whole.
bool SaveStateFile(const std::string& path, const SMachineState& state, std::string& error);
bool LoadStateFile(const std::string& path, SMachineState& state, std::string& error);
