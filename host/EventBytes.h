// A queued event as saved machine states and recordings store it: group, kind, field mask,
// the two bytes, then the four dwords, little-endian.
#pragma once

#include "core/Event.h"
#include "host/ByteStream.h"

inline constexpr size_t kEventBytes = 5 + 16;

inline void PutEvent(CByteWriter& out, const CEvent& event) {
    const CEvent::SFields& f = event.GetFields();
    for (const uint8_t byte : {f.group, f.kind, f.fields, f.byte2, f.byte3})
        out.Put(byte);
    for (const uint32_t dword : f.dwords)
        out.Put(dword);
}

// False when the bytes ran out or name fields no event has.
inline bool GetEvent(CByteReader& in, CEvent& event) {
    CEvent::SFields f;
    for (uint8_t* byte : {&f.group, &f.kind, &f.fields, &f.byte2, &f.byte3})
        in.Get(*byte);
    for (uint32_t& dword : f.dwords)
        in.Get(dword);
    return in.IsOk() && CEvent::FromFields(f, event);
}
