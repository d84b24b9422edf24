// Dispatch tables for comparing the interpreter's fast forms with the exact handlers.
#pragma once

#include "isa/Dispatch.h"
#include "isa/OpcodeMap.h"

#include <string_view>

// The table every host uses, without any fast form: every instruction runs its exact handler.
inline SDispatchTable ExactDispatchTable() {
    DispatchEntries entries = GetDispatchTable().entries;
    for (SDispatchEntry& entry : entries)
        entry.fast = nullptr;
    return MakeDispatchTable(entries);
}

// The table every host uses, with one instruction on its exact handler only.
inline SDispatchTable TableWithExactOnly(std::string_view mnemonic) {
    DispatchEntries entries = GetDispatchTable().entries;
    entries[static_cast<size_t>(FindOpcode(mnemonic))].fast = nullptr;
    return MakeDispatchTable(entries);
}
