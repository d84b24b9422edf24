// tarquil.inc against the machine's interface headers: every name of the interface table
// assembles to the value the machine uses, and every interface name that tarquil.inc
// defines is in the table.
#include "abi/InterfaceNames.h"
#include "tools/AssemblerTestHelpers.h"
#include "tools/asm/StandardInclude.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

bool IsInterfaceName(const std::string& name) {
    for (std::string_view prefix : kInterfaceNamePrefixes)
        if (name.starts_with(prefix))
            return true;
    return false;
}

} // namespace

TEST(InterfaceNames, StandardIncludeAgreesWithTheMachine) {
    // Each table value as tarquil.inc computes it: one dword per name.
    std::string source = ".include \"tarquil.inc\"\n";
    for (const SInterfaceName& entry : kInterfaceNames)
        source += ".dd " + std::string(entry.name) + "\n";
    const SAssembly result = AssembleSource(source);
    ASSERT_TRUE(result.ok) << result.errors;
    ASSERT_EQ(result.bytes.size(), std::size(kInterfaceNames) * 4);
    for (size_t i = 0; i < std::size(kInterfaceNames); ++i) {
        uint32_t value;
        std::memcpy(&value, result.bytes.data() + 4 * i, 4);
        EXPECT_EQ(value, kInterfaceNames[i].value) << kInterfaceNames[i].name;
    }

    // Every interface name that tarquil.inc defines, the other way round.
    std::set<std::string> known;
    for (const SInterfaceName& entry : kInterfaceNames)
        known.insert(std::string(entry.name));
    std::istringstream text{std::string(StandardIncludeText())};
    const std::regex definition(R"(([A-Z][A-Z0-9_]*)\s*=.*)");
    size_t interfaceNames = 0;
    for (std::string line; std::getline(text, line);) {
        std::smatch match;
        if (!std::regex_match(line, match, definition) || !IsInterfaceName(match[1]))
            continue;
        const std::string name = match[1];
        ++interfaceNames;
        EXPECT_TRUE(known.count(name)) << name << " is missing from abi/InterfaceNames.h";
    }
    EXPECT_EQ(interfaceNames, known.size());
}
