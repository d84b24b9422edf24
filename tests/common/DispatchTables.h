// Dispatch tables for comparing the interpreter's fast forms with the exact handlers.
#pragma once

#include "isa/Dispatch.h"
#include "isa/OpcodeMap.h"

#include <string_view>

// The table every host uses, without any fast form: every instruction runs its exact handler.
inline DispatchTable ExactDispatchTable() {
    DispatchTable table = GetDispatchTable();
    for (SDispatchEntry& entry : table)
        entry.fast = nullptr;
    return table;
}

// The table every host uses, with one instruction on its exact handler only.
inline DispatchTable TableWithExactOnly(std::string_view mnemonic) {
    DispatchTable table = GetDispatchTable();
    table[static_cast<size_t>(FindOpcode(mnemonic))].fast = nullptr;
    return table;
}
