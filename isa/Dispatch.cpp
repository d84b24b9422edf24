#include "isa/Dispatch.h"

#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"
#include "isa/OpcodeMap.h"

namespace {

SDispatchEntry SelectHandler(const SOpcodeInfo& info) {
    const isa::FamilySelector select = isa::FindFamilySelector(info.family);
    return select ? select(info) : SDispatchEntry{};
}

DispatchEntries EntriesFromMap() {
    DispatchEntries entries{};
    const auto& map = GetOpcodeMap();
    for (size_t i = 0; i < kDispatchEntries; ++i) {
        const SDispatchEntry entry = SelectHandler(map[i]);
        entries[i] = entry.handler ? entry : SDispatchEntry{&CKernel::InvalidOpcode, 0, nullptr};
    }
    return entries;
}

FastHandler HeadForm(const DispatchEntries& entries, uint32_t word) {
    const uint32_t index = CKernel::SlotIndex(word);
    const SFastForm* form = index < kDispatchEntries ? UsableForm(entries[index]) : nullptr;
    if (!form)
        return &CKernel::RunHandler;
    if (!form->byShape)
        return form->run;
    const uint32_t shape = isa::FindShape(word & kHeadModeBits, GetOpcodeMap()[index].operandCount);
    return shape < isa::kShapes.size() ? form->byShape[shape] : form->run;
}

} // namespace

SDispatchTable MakeDispatchTable(const DispatchEntries& entries) {
    std::shared_ptr<FastHandler[]> heads(new FastHandler[CKernel::kHeadWords]);
    for (uint32_t word = 0; word < CKernel::kHeadWords; ++word)
        heads[word] = HeadForm(entries, word);
    return {entries, std::move(heads)};
}

const SDispatchTable& GetDispatchTable() {
    static const SDispatchTable table = MakeDispatchTable(EntriesFromMap());
    return table;
}
