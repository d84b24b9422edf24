#include "tools/asm/Mnemonics.h"

#include "isa/OpcodeMap.h"

#include <cctype>
#include <unordered_map>

namespace {

std::string Upper(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string Spelling(const SOpcodeInfo& info) {
    if (info.primary)
        return info.mnemonic;
    const size_t dot = info.mnemonic.find('.');
    if (dot == std::string::npos)
        return info.mnemonic + "2";
    return info.mnemonic.substr(0, dot) + "2" + info.mnemonic.substr(dot);
}

const std::unordered_map<std::string, uint32_t>& Table() {
    static const std::unordered_map<std::string, uint32_t> table = [] {
        std::unordered_map<std::string, uint32_t> t;
        const auto& map = GetOpcodeMap();
        for (uint32_t i = 0; i < map.size(); ++i)
            if (map[i].IsValid())
                t.emplace(Upper(Spelling(map[i])), i);
        return t;
    }();
    return table;
}

} // namespace

int32_t LookupMnemonic(std::string_view text) {
    const auto& table = Table();
    const auto it = table.find(Upper(text));
    return it == table.end() ? -1 : static_cast<int32_t>(it->second);
}

std::string MnemonicOf(uint32_t index) {
    const auto& map = GetOpcodeMap();
    if (index >= map.size() || !map[index].IsValid())
        return {};
    return Spelling(map[index]);
}

std::vector<std::string> MnemonicsStartingWith(std::string_view operation) {
    // The map spells its mnemonics in capitals.
    const std::string prefix = Upper(operation) + ".";
    std::vector<std::string> names;
    for (const SOpcodeInfo& info : GetOpcodeMap())
        if (info.IsValid() && info.primary && info.mnemonic.starts_with(prefix))
            names.push_back(info.mnemonic);
    return names;
}
