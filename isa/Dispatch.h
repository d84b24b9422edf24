// The processor's dispatch table, derived from the opcode map: one handler and parameter per
// category * 256 + code, the invalid-opcode handler on every free code, and the head table
// that maps each head word to the form that runs it.
#pragma once

#include "core/Kernel.h"

// Built on first use and shared by every kernel.
const SDispatchTable& GetDispatchTable();

// A table of these entries with its head table: every head runs its entry's fast form,
// specialised for the head's operand shape where the form has that (and the opcode map's
// operand count of the entry says which modes count), or the entry's handler. For tables
// that differ from the map's (tests).
SDispatchTable MakeDispatchTable(const DispatchEntries& entries);
