// What the runner prints after the run: registers, memory dumps, the text screen, the
// statistics, and the picture it saves.
#pragma once

#include "RunOptions.h"
#include "host/HeadlessRun.h"

#include <ostream>

class CMachine;
class CMemory;

void PrintRegisters(const CMemory& memory, std::ostream& out);
// False (with a note on `errors`) when the range leaves data memory.
bool PrintDump(const CMemory& memory, const SDumpRequest& request, std::ostream& out,
               std::ostream& errors);
// False (with a note on `errors`) when the machine has no screen.
bool PrintTextScreen(const CMachine& machine, std::ostream& out, std::ostream& errors);
bool SaveScreenPng(const CMachine& machine, const std::string& path, std::ostream& errors);
void PrintStats(const SHeadlessRunResult& result, std::ostream& out);
