// Assembling source held in memory, with an in-memory set of files for ".include".
#pragma once

#include "tools/asm/Assembler.h"

#include <map>
#include <string>
#include <vector>

struct SAssembly {
    bool ok = false;
    std::vector<uint8_t> bytes;
    std::string errors;
    std::string listing;
};

inline SAssembly AssembleSource(const std::string& source,
                                const std::map<std::string, std::string>& files = {}) {
    SAssemblerOptions options;
    options.reader = [files](const std::string& path, std::string& text) {
        const auto it = files.find(path);
        if (it == files.end())
            return false;
        text = it->second;
        return true;
    };
    CAssembler assembler(options);
    SAssembly result;
    result.ok = assembler.AssembleText("test.asm", source);
    result.bytes = assembler.GetImage();
    result.errors = assembler.GetDiagnostics().Format();
    result.listing = assembler.GetListing();
    return result;
}

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values)
        bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}
