#include "host/HeadlessRun.h"

#include "common/ControlTable.h"
#include "common/MemoryDisk.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "host/HeadlessPlatform.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testhelpers;

namespace {

constexpr uint8_t kCodeMov8 = 51;
constexpr uint8_t kCodeMov32 = 53;
constexpr uint8_t kCodeJmp = 82;
constexpr uint8_t kCodeRecord = 199; // a test instruction: notes the event record

struct SRecord {
    uint8_t group, kind, byte2;
    uint32_t value;
    bool operator==(const SRecord&) const = default;
};
std::vector<SRecord> recorded;

template <typename T>
bool Move(CKernel& k, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    T value;
    if (k.ReadOperand(value, modeA) && k.WriteOperand(value, modeB))
        return false;
    k.MemoryError();
    return true;
}

SDispatchTable RunTable() {
    SDispatchTable table = ControlTable();
    table.entries[kCodeMov8] = {&Move<uint8_t>, 0};
    table.entries[kCodeMov32] = {&Move<uint32_t>, 0};
    table.entries[kCodeJmp] = {[](CKernel& k, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
                                   uint32_t target;
                                   if (!k.GetOperandAddress(target, modeA, 0)) {
                                       k.MemoryError();
                                       return true;
                                   }
                                   k.SetIP(k.GetBASE() + target);
                                   return false;
                               },
                               0};
    table.entries[kCodeRecord] = {[](CKernel& k, uint32_t, uint32_t, uint32_t, uint32_t) {
                                      const uint8_t* r = k.GetMemory().GetRegisters();
                                      uint32_t value;
                                      std::memcpy(&value, r + 4, 4);
                                      recorded.push_back({r[0], r[1], r[2], value});
                                      return false;
                                  },
                                  0};
    return table;
}

// A small assembler for the test table.
class CProgram {
public:
    CProgram& Op(uint8_t code) { return Bytes({0x00, code}); }
    // MOV.8 / MOV.32 of an immediate into a register-block address.
    CProgram& SetByte(uint32_t offset, uint8_t value) {
        Bytes({0x18, kCodeMov8, value});
        return Dword(kRegisterBlockAddress + offset);
    }
    CProgram& SetDword(uint32_t offset, uint32_t value) {
        Bytes({0x18, kCodeMov32});
        Dword(value);
        return Dword(kRegisterBlockAddress + offset);
    }
    CProgram& Sys(uint8_t group, uint8_t function) {
        SetByte(0, group);
        SetByte(1, function);
        return Op(kCodeSys);
    }
    CProgram& Jump(uint32_t target) {
        Bytes({0x20, kCodeJmp});
        return Dword(target);
    }
    uint32_t Here() const { return static_cast<uint32_t>(bytes.size()); }
    CProgram& Bytes(std::initializer_list<uint8_t> more) {
        bytes.insert(bytes.end(), more);
        return *this;
    }
    CProgram& Dword(uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
        return *this;
    }
    std::vector<uint8_t> bytes;
};

// A booted machine on the headless platform.
struct SHeadlessMachine {
    explicit SHeadlessMachine(const CProgram& program)
        : disk(CMemoryDisk::BootArea(program.bytes, static_cast<int32_t>(program.bytes.size()))) {
        recorded.clear();
        memory.Configure("4k");
        machine.memory = &memory;
        machine.kernel = &kernel;
        machine.disks[0] = &disk;
        machine.diskCount = 1;
        kernel.SetMachine(&machine);
        kernel.Attach();
    }
    SHeadlessRunResult Run(SHeadlessRunSettings settings) {
        return RunHeadless(machine, platform, settings,
                           [this](const std::string& text) { titles.push_back(text); });
    }

    CHeadlessPlatform platform;
    CMemory memory;
    CMachine machine;
    CKernel kernel{platform, RunTable()};
    CMemoryDisk disk;
    std::vector<std::string> titles;
};

SHeadlessRunSettings Settings(uint64_t limit = 0, double timeout = 10.0, std::string keys = {}) {
    SHeadlessRunSettings settings;
    settings.instructionLimit = limit;
    settings.timeoutSeconds = timeout;
    std::string error;
    EXPECT_TRUE(ParseKeyScript(keys, settings.keys, error));
    return settings;
}

} // namespace

TEST(HeadlessRunTest, AWaitingProgramWithNothingToWakeItIsIdle) {
    SHeadlessMachine m(CProgram().Op(kCodeWait));
    const SHeadlessRunResult result = m.Run(Settings());
    EXPECT_EQ(result.reason, EStopReason::Idle);
    EXPECT_EQ(DescribeStop(result), "idle");
    EXPECT_EQ(result.instructions, 1u);
    EXPECT_TRUE(m.titles.empty());
}

TEST(HeadlessRunTest, TitlesAndTheStopMessage) {
    // The message "Hi" lies at 0x100.
    CProgram program;
    program.SetByte(2, 2).SetDword(4, 0x100).Sys(1, 6).Op(kCodeWait).Op(kCodeNop);
    program.bytes.resize(0x100);
    program.Bytes({'H', 'i'});
    SHeadlessMachine m(program);
    // The first slice shows the title; the key wakes the program, which then runs into
    // the zero bytes behind its NOP.
    const SHeadlessRunResult result = m.Run(Settings(0, 10.0, "x"));
    EXPECT_EQ(m.titles, (std::vector<std::string>{"Hi", "Invalid opcode"}));
    EXPECT_EQ(result.reason, EStopReason::MachineStopped);
    EXPECT_EQ(DescribeStop(result), "Invalid opcode");
    EXPECT_EQ(result.keysDelivered, 1u);
}

TEST(HeadlessRunTest, AFailedBootStopsAtOnce) {
    SHeadlessMachine m(CProgram().Op(kCodeWait));
    m.disk.Eject();
    CKernel kernel(m.platform, RunTable());
    kernel.SetMachine(&m.machine);
    m.machine.kernel = &kernel;
    kernel.Attach();
    const SHeadlessRunResult result = m.Run(Settings());
    EXPECT_EQ(DescribeStop(result), "No disk to boot");
    EXPECT_EQ(result.instructions, 0u);
    EXPECT_EQ(m.titles, std::vector<std::string>{"No disk to boot"});
}

TEST(HeadlessRunTest, InstructionLimitStopsAtTheEndOfASlice) {
    SHeadlessMachine m(CProgram().Op(kCodeNop).Jump(0));
    const SHeadlessRunResult result = m.Run(Settings(100));
    EXPECT_EQ(result.reason, EStopReason::Steps);
    EXPECT_EQ(DescribeStop(result), "steps");
    EXPECT_EQ(result.instructions, 128u);
}

TEST(HeadlessRunTest, AStopInTheLastSliceWinsOverTheLimit) {
    // 31 NOPs and an invalid opcode: the machine stops in the slice that reaches 32.
    CProgram program;
    for (int i = 0; i < 31; ++i)
        program.Op(kCodeNop);
    SHeadlessMachine m(program);
    const SHeadlessRunResult result = m.Run(Settings(32));
    EXPECT_EQ(result.reason, EStopReason::MachineStopped);
    EXPECT_EQ(result.instructions, 32u);
}

TEST(HeadlessRunTest, WallClockBound) {
    SHeadlessMachine m(CProgram().Op(kCodeNop).Jump(0));
    const SHeadlessRunResult result = m.Run(Settings(0, 0.05));
    EXPECT_EQ(result.reason, EStopReason::Timeout);
    EXPECT_EQ(DescribeStop(result), "timeout");
    EXPECT_GE(result.seconds, 0.05);
    EXPECT_GT(result.instructions, 0u);
}

TEST(HeadlessRunTest, ScriptedKeysArriveOneByOneWhileTheProgramWaits) {
    // Loop: WAIT, GETEVENT, note the record.
    SHeadlessMachine m(CProgram().Op(kCodeWait).Op(kCodeGetEvent).Op(kCodeRecord).Jump(0));
    const SHeadlessRunResult result = m.Run(Settings(0, 10.0, "a{Left}"));
    EXPECT_EQ(result.reason, EStopReason::Idle);
    EXPECT_EQ(result.keysDelivered, 2u);
    EXPECT_EQ(
        recorded,
        (std::vector<SRecord>{
            {2, 1, 1, 0x41}, {2, 2, 1, 'a'}, {2, 1, 2, 0x41}, {2, 1, 1, 0x25}, {2, 1, 2, 0x25}}));
}

TEST(HeadlessRunTest, TimersKeepAWaitingProgramAlive) {
    // Start timer 9 every 10 ms, take one timer event, stop the timer, wait.
    CProgram program;
    program.SetDword(4, 9).SetDword(8, 10).Sys(1, 7);
    program.Op(kCodeWait).Op(kCodeGetEvent).Op(kCodeRecord);
    program.SetDword(4, 9).Sys(1, 8).Op(kCodeWait);
    SHeadlessMachine m(program);
    const SHeadlessRunResult result = m.Run(Settings(0, 5.0));
    EXPECT_EQ(result.reason, EStopReason::Idle);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].group, 1);
    EXPECT_EQ(recorded[0].kind, 2);
    EXPECT_EQ(recorded[0].value, 9u);
    EXPECT_FALSE(m.platform.HasTimers());
}

TEST(HeadlessRunTest, ARunningTimerTurnsIdleIntoTimeout) {
    CProgram program;
    program.SetDword(4, 1).SetDword(8, 10).Sys(1, 7);
    const uint32_t loop = program.Here();
    program.Op(kCodeWait).Op(kCodeGetEvent).Op(kCodeRecord).Jump(loop);
    SHeadlessMachine m(program);
    const SHeadlessRunResult result = m.Run(Settings(0, 0.2));
    EXPECT_EQ(result.reason, EStopReason::Timeout);
    EXPECT_FALSE(recorded.empty());
}

TEST(HeadlessRunTest, TitleTextEndsAtAZeroByteAndIsUtf8) {
    EXPECT_EQ(TitleText(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(TitleText("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(TitleText(""), "");
}
