#include "isa/Dispatch.h"

#include "isa/Handlers.h"
#include "isa/OpcodeMap.h"

namespace {

SDispatchEntry SelectHandler(const SOpcodeInfo& info) {
    const isa::FamilySelector select = isa::FindFamilySelector(info.family);
    return select ? select(info) : SDispatchEntry{};
}

DispatchTable BuildDispatchTable() {
    DispatchTable table{};
    const auto& map = GetOpcodeMap();
    for (size_t i = 0; i < kDispatchEntries; ++i) {
        const SDispatchEntry entry = SelectHandler(map[i]);
        table[i] = entry.handler ? entry : SDispatchEntry{&CKernel::InvalidOpcode, 0, nullptr};
    }
    return table;
}

} // namespace

const DispatchTable& GetDispatchTable() {
    static const DispatchTable table = BuildDispatchTable();
    return table;
}
