// What the machine sees of a disk slot: a device that holds at most one disk image and
// transfers bytes at a current position inside the image's data area. The file-backed
// slot (CDisk) lives with the devices; the kernel boots through this interface and the
// memory moves bytes between data memory and a disk through it.
#pragma once

#include "core/Device.h"

#include <cstdint>
#include <string>

class CDiskSlot : public CDevice {
public:
    virtual bool Insert(const std::string& fileName) = 0;
    virtual void Eject() = 0;

    virtual bool GetSize(uint32_t& size) const = 0;
    virtual bool Seek(uint32_t position) = 0;
    virtual bool Tell(uint32_t& position) const = 0;
    virtual bool Read(void* buffer, uint32_t count) = 0;
    virtual bool Write(const void* buffer, uint32_t count) = 0;

    virtual bool HasDisk() const = 0;
    virtual bool IsReadOnly() const = 0;
    virtual bool IsRemembering() const = 0;
    virtual uint32_t GetSlot() const = 0;
    virtual const std::string& GetFileName() const = 0;
};
