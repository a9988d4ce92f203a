// Whether a span of memory named by another process (a pointer and a length in a message) can be
// looked at without the arithmetic wrapping past the top of the address space. Pure, so that the
// boundaries are tested natively; ReadOwnMemory (fw/Win32Util.h) applies it.
#pragma once
#include <cstddef>
#include <cstdint>

// True when size bytes from address end at or below the top of the address space: no null
// address, no empty span, and no end that wraps round to low memory.
inline bool AddressSpanFits(std::uintptr_t address, std::size_t size)
{
    return address != 0 && size != 0 && size <= UINTPTR_MAX - address;
}

// The end of a region of memory that begins at base and is size bytes long, held at the top of
// the address space where the sum would wrap.
inline std::uintptr_t RegionEnd(std::uintptr_t base, std::size_t size)
{
    return size > UINTPTR_MAX - base ? UINTPTR_MAX : base + size;
}
