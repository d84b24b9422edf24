// The machine's address space: the data memory and the 44-byte register block mapped at
// 0x7FFFFC00. Every read or write of machine state goes through here.
//
// Addresses are 32-bit and compared as signed numbers. Below 0x7FFFFC00 lies data memory:
// a relative address gets BASE added, an absolute one is used as it is. The register block
// never gets BASE. A single value is checked on its first byte only; the spare bytes behind
// both buffers take what spills over.
#pragma once

#include "abi/RegisterBlock.h"
#include "core/Device.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

class CDiskSlot;
class CMemoryImage;

// Learns of the bytes the machine reads as data while it is set on a memory (a debugger's read
// watchpoints). Only the checked accessors tell it: the exact path, the system calls and the
// block helpers; instruction fetches (absolute reads of data memory) are not data reads.
class CMemoryReadObserver {
public:
    virtual void BytesRead(const uint8_t* bytes, uint32_t count) = 0;

protected:
    ~CMemoryReadObserver() = default;
};

// Bytes behind the data memory and behind the register block that take what a single value
// at the last valid address spills over.
inline constexpr uint32_t kSpareBytes = 8;

// Parses a memory size text ("64m", "65536kb", "1.5m") into a byte count (low 32 bits).
int32_t ParseMemorySize(const std::string& text);

class CMemory : public CDevice {
public:
    // Reads Memory.Size from the machine configuration and allocates.
    bool Init(const qm::CINIFile& machineConfig, const qm::CINIFile& userSettings,
              const std::string& commandLine) override;
    ~CMemory() override = default;

    // The allocation steps of Init for a size text: validates, allocates, clears.
    // Failures go to the error stack as Init reports them.
    bool Configure(const std::string& sizeText);

    int32_t GetSize() const { return size; }

    // Takes over a saved image as data memory (its size the new size; the old buffer goes)
    // and the register block's saved bytes. False, and nothing changed, for an empty image or
    // one too large to be data memory.
    bool Restore(CMemoryImage&& image, const uint8_t* registerBytes);

    // Single values. Reads may be absolute (instruction stream); writes are always relative.
    template <typename T>
    bool Read(uint32_t address, T& value, bool absolute) const {
        const uint8_t* p = Locate(address, absolute);
        if (!p) [[unlikely]]
            return false;
        if (readObserver) [[unlikely]]
            ObserveValueRead(address, p, sizeof(T), absolute);
        std::memcpy(&value, p, sizeof(T));
        return true;
    }
    template <typename T>
    bool Write(uint32_t address, T value) {
        uint8_t* p = const_cast<uint8_t*>(Locate(address, false));
        if (!p) [[unlikely]]
            return false;
        std::memcpy(p, &value, sizeof(T));
        return true;
    }

    bool ReadByte(uint32_t a, uint8_t& v, bool absolute) const { return Read(a, v, absolute); }
    bool ReadWord(uint32_t a, uint16_t& v, bool absolute) const { return Read(a, v, absolute); }
    bool ReadDword(uint32_t a, uint32_t& v, bool absolute) const { return Read(a, v, absolute); }
    bool ReadQword(uint32_t a, uint64_t& v, bool absolute) const { return Read(a, v, absolute); }
    bool WriteByte(uint32_t a, uint8_t v) { return Write(a, v); }
    bool WriteWord(uint32_t a, uint16_t v) { return Write(a, v); }
    bool WriteDword(uint32_t a, uint32_t v) { return Write(a, v); }
    bool WriteQword(uint32_t a, uint64_t v) { return Write(a, v); }

    // Blocks of count bytes (count >= 1); the whole range must lie inside one area.
    bool ReadBlock(uint32_t address, void* buffer, int32_t count, bool absolute) const;
    bool WriteBlock(uint32_t address, const void* buffer, int32_t count);
    bool ReadFromDisk(uint32_t address, CDiskSlot& disk, int32_t count, bool absolute);
    bool WriteToDisk(uint32_t address, CDiskSlot& disk, int32_t count);
    bool Clear(uint32_t address, int32_t count);
    // Host pointer to the first byte of a valid range, or null.
    uint8_t* GetPointer(uint32_t address, int32_t count, bool absolute);

    // The three registers, for the kernel's hot path.
    uint32_t GetSP() const { return LoadRegister(kRegisterSP); }
    uint32_t GetBASE() const { return LoadRegister(kRegisterBASE); }
    uint32_t GetIP() const { return LoadRegister(kRegisterIP); }
    void SetSP(uint32_t v) { StoreRegister(kRegisterSP, v); }
    void SetBASE(uint32_t v) { StoreRegister(kRegisterBASE, v); }
    void SetIP(uint32_t v) { StoreRegister(kRegisterIP, v); }

    // Who learns of the data reads from now on (null: nobody, the normal case).
    void SetReadObserver(CMemoryReadObserver* observer) { readObserver = observer; }
    // Bytes that an instruction or a system call reads through a host pointer it was given.
    void NoteRead(const uint8_t* bytes, uint32_t count) const {
        if (readObserver) [[unlikely]]
            readObserver->BytesRead(bytes, count);
    }

    // Direct views, for the kernel's fast paths, the tools and the tests.
    uint8_t* GetData() { return data.get(); }
    const uint8_t* GetData() const { return data.get(); }
    uint8_t* GetRegisters() { return registers.data(); }
    const uint8_t* GetRegisters() const { return registers.data(); }

    // Host pointer for a single value at `address`, or null (checks the first byte only).
    const uint8_t* Locate(uint32_t address, bool absolute) const {
        if (static_cast<int32_t>(address) < static_cast<int32_t>(kRegisterBlockAddress)) {
            const uint32_t effective = absolute ? address : address + GetBASE();
            if (effective >= static_cast<uint32_t>(size)) [[unlikely]]
                return nullptr;
            return data.get() + effective;
        }
        const uint32_t offset = address - kRegisterBlockAddress;
        if (offset >= kRegisterBlockSize) [[unlikely]]
            return nullptr;
        return registers.data() + offset;
    }

private:
    [[gnu::cold]] void ObserveValueRead(uint32_t address, const uint8_t* p, uint32_t count,
                                        bool absolute) const;
    // Host pointer for a range of count bytes, or null.
    const uint8_t* LocateRange(uint32_t address, int32_t count, bool absolute) const;

    uint32_t LoadRegister(uint32_t offset) const {
        uint32_t v;
        std::memcpy(&v, registers.data() + offset, 4);
        return v;
    }
    void StoreRegister(uint32_t offset, uint32_t v) {
        std::memcpy(registers.data() + offset, &v, 4);
    }

    struct FreeDeleter {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t[], FreeDeleter> data;
    std::array<uint8_t, kRegisterBlockSize + kSpareBytes> registers{};
    int32_t size = 0;
    CMemoryReadObserver* readObserver = nullptr;
};
