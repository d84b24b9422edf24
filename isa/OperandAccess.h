// The contract between an instruction body and the machine it runs on. A body is written
// once, as a template over its access class, and instantiated for three of them:
//
//   CKernel             the exact path: every access checked through CMemory, IP in the
//                       register block; the handlers of the dispatch table.
//   CFastAccess         the fast path: host pointers into a view of the machine taken at the
//                       slice's start, IP in a local cursor; it falls back to the exact
//                       operations at the first access it does not cover.
//   CSpecialisedAccess  the forms specialised for addressing modes: like the fast path, but
//                       it gives up instead of falling back, and the instruction then runs
//                       again from its head on the fast path.
//
// Every access class offers operand, memory and block access (OperandAccess); a body that
// also stops the machine, takes events or makes system calls needs MachineAccess, which
// the specialised forms do not offer, so such a body cannot be specialised by mistake.
#pragma once

#include "core/Kernel.h"
#include "isa/FastAccess.h"
#include "isa/SpecialisedAccess.h"

#include <concepts>
#include <cstdint>
#include <string>

template <typename A>
concept OperandAccess = requires(A& access, uint32_t number, uint32_t& address, uint8_t& byte,
                                 uint64_t& qword, int32_t count, int64_t range, bool advance,
                                 const uint8_t* bytes) {
    // IP, SP and BASE. Only IP may live outside the register block while a body runs.
    { access.GetIP() } -> std::same_as<uint32_t>;
    access.SetIP(number);
    { access.GetBASE() } -> std::same_as<uint32_t>;
    { access.GetSP() } -> std::same_as<uint32_t>;
    access.SetSP(number);
    // Operands in stream order: a value read (its field consumed when `advance`), a
    // destination resolved to a relative address (its field consumed), a value written.
    // False on a bad address; the body then stops the machine.
    { access.ReadOperand(byte, number, advance) } -> std::same_as<bool>;
    { access.ReadOperand(qword, number) } -> std::same_as<bool>;
    { access.GetOperandAddress(address, number, number) } -> std::same_as<bool>;
    { access.WriteOperand(number, number) } -> std::same_as<bool>;
    // Single values at relative addresses.
    { access.ReadMemory(number, qword) } -> std::same_as<bool>;
    { access.WriteMemory(number, qword) } -> std::same_as<bool>;
    // Blocks: host pointers to a whole checked range, null when it is not one.
    { access.LocateOperandBlock(count, number, advance) } -> std::same_as<const uint8_t*>;
    { access.LocateBlock(number, count) } -> std::same_as<uint8_t*>;
    { access.LocateContiguous(number, range) } -> std::same_as<uint8_t*>;
    { access.WriteBlock(number, bytes, count) } -> std::same_as<bool>;
    { access.ClearBlock(number, count) } -> std::same_as<bool>;
    { access.GetRegisterBytes() } -> std::same_as<const uint8_t*>;
    // A bad address met: the machine stops (a specialised form gives up instead).
    access.MemoryError();
};

template <typename A>
concept MachineAccess = OperandAccess<A> && requires(A& access, const std::string& message) {
    access.Fail(message);
    { access.HasEvents() } -> std::same_as<bool>;
    { access.TakeEvent() } -> std::same_as<bool>;
    { access.SystemCall() } -> std::same_as<bool>;
    { access.GetMemory() } -> std::same_as<CMemory&>;
};

static_assert(MachineAccess<CKernel>);
static_assert(MachineAccess<CFastAccess>);
static_assert(OperandAccess<CSpecialisedAccess>);
static_assert(!MachineAccess<CSpecialisedAccess>);
