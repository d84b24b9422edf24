// The host's view of the command line: one text, kept unchanged for the whole run and
// scanned by every option reader for itself.
#pragma once

#include <string>
#include <vector>

// Joins arguments into one command-line text with single blanks; an argument that is
// empty or contains a blank is enclosed in double quotes, so that the tokenizer gives it
// back whole.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// True when the command line holds "-noask" (in any letter case): no exit question.
bool HasNoAskOption(const std::string& commandLine);
