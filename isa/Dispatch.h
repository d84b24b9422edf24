// The processor's dispatch table, derived from the opcode map: one handler and parameter per
// category * 256 + code, the invalid-opcode handler on every free code.
#pragma once

#include "core/Kernel.h"

// Built on first use and shared by every kernel.
const DispatchTable& GetDispatchTable();
