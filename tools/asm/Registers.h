// Names of the register block as the assembly language writes them: r0 ... r31 name the
// 32 general register bytes by their offset (an operand's width comes from the mnemonic,
// so r4 is the dword at 0x7FFFFC04 in MOV.32 and its first byte in MOV.8), sp, base and ip
// the three dword registers. Names are matched without regard to case.
#pragma once

#include "abi/RegisterBlock.h"

#include <cstdint>
#include <string>
#include <string_view>

bool LookupRegister(std::string_view name, uint32_t& address);
// The register's name for an address, empty when none starts there.
std::string RegisterName(uint32_t address);
// Register names and the operand keyword "none" cannot name labels or constants.
bool IsReservedName(std::string_view name);
