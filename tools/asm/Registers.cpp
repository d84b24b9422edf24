#include "tools/asm/Registers.h"

#include "tools/asm/AsciiText.h"

#include <cctype>

bool LookupRegister(std::string_view name, uint32_t& address) {
    if (EqualsNoCaseAscii(name, "sp"))
        address = RegisterAddress(kRegisterSP);
    else if (EqualsNoCaseAscii(name, "base"))
        address = RegisterAddress(kRegisterBASE);
    else if (EqualsNoCaseAscii(name, "ip"))
        address = RegisterAddress(kRegisterIP);
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
    if (address == RegisterAddress(kRegisterSP))
        return "sp";
    if (address == RegisterAddress(kRegisterBASE))
        return "base";
    if (address == RegisterAddress(kRegisterIP))
        return "ip";
    return {};
}

bool IsReservedName(std::string_view name) {
    uint32_t address;
    return LookupRegister(name, address) || EqualsNoCaseAscii(name, "none");
}
