#include "tools/asm/Registers.h"

#include <cctype>

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

bool LookupRegister(std::string_view name, uint32_t& address) {
    if (EqualsNoCase(name, "sp"))
        address = kStackPointerAddress;
    else if (EqualsNoCase(name, "base"))
        address = kBaseAddress;
    else if (EqualsNoCase(name, "ip"))
        address = kInstructionPointerAddress;
    else {
        if (name.size() < 2 || name.size() > 3 || (name[0] != 'r' && name[0] != 'R'))
            return false;
        uint32_t offset = 0;
        for (size_t i = 1; i < name.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(name[i])))
                return false;
            offset = offset * 10 + static_cast<uint32_t>(name[i] - '0');
        }
        // One spelling per register: "r07" is not a register name.
        if ((name.size() == 3 && name[1] == '0') || offset >= kGeneralRegisterBytes)
            return false;
        address = kRegisterBlockAddress + offset;
    }
    return true;
}

std::string RegisterName(uint32_t address) {
    if (address >= kRegisterBlockAddress && address < kRegisterBlockAddress + kGeneralRegisterBytes)
        return "r" + std::to_string(address - kRegisterBlockAddress);
    if (address == kStackPointerAddress)
        return "sp";
    if (address == kBaseAddress)
        return "base";
    if (address == kInstructionPointerAddress)
        return "ip";
    return {};
}

bool IsReservedName(std::string_view name) {
    uint32_t address;
    return LookupRegister(name, address) || EqualsNoCase(name, "none");
}
