// The host's view of the command line: one text, kept unchanged for the whole run and
// scanned by every option reader for itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Joins arguments into one command-line text with single blanks; an argument that is
// empty or contains a blank is enclosed in double quotes, so that the tokenizer gives it
// back whole.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// True when the command line holds "-noask" (in any letter case): no exit question.
bool HasNoAskOption(const std::string& commandLine);

// What the option scanners quietly pass over, for a message on standard error: tokens that
// are no option, and -disk or -boot options whose slot number names none of the machine's
// `slotCount` slots (a negative count: the slots are not known, so not checked). One line
// per problem, without a line break.
std::vector<std::string> FindCommandLineProblems(const std::string& commandLine, int32_t slotCount);

// The window program's usage text, several lines, each ended by a line break.
std::string WindowProgramUsage();

// The FILE of the last "-record FILE" option (the window program records its first machine
// into it); empty when there is none.
std::string GetRecordOption(const std::string& commandLine);
