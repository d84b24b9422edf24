// Mnemonics as the assembly language writes them. Every entry of the opcode map has one
// spelling: its own mnemonic, and for the second codes that repeat an operation (the
// conversions at category 0 codes 35 - 50) the mnemonic with "2" after its first part,
// "CVT2.F32.I8".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The opcode index (category * 256 + code) for a mnemonic in any letter case, or -1.
int32_t LookupMnemonic(std::string_view text);
// The spelling of an entry; empty for a free code.
std::string MnemonicOf(uint32_t index);
// Mnemonics of the form text + "." + type, for a hint when the type was left out.
std::vector<std::string> MnemonicsStartingWith(std::string_view operation);
