// The standard include file, built into the assembler so that ".include "tarquil.inc""
// works wherever the source lies.
#pragma once

#include <string_view>

inline constexpr std::string_view kStandardIncludeName = "tarquil.inc";
std::string_view StandardIncludeText();
