// Reads the vtable slot behind a pointer to a virtual member function.
//
// On the Itanium C++ ABI (g++ on Linux, MinGW on Windows) such a pointer holds
// the byte offset of the function's vtable entry plus one. A virtual
// destructor takes two entries (complete and deleting), so the first virtual
// function declared after it sits two entries further on, not one.
#ifndef ULMORA_TESTS_VTABLESLOT_H
#define ULMORA_TESTS_VTABLESLOT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace UlmoraTest {

// Returns the vtable entry index of `member`, or -1 when it is not virtual.
template <class Class, class Member>
long VtableSlot(Member Class::*member)
{
    struct Representation {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    };
    static_assert(sizeof(member) == sizeof(Representation), "unexpected member pointer layout");
    Representation r;
    std::memcpy(&r, &member, sizeof r);
    if ((r.pointer & 1u) == 0)
        return -1;
    return static_cast<long>((r.pointer - 1) / sizeof(void*));
}

// Entry index on the Itanium ABI of the function a contract lists at
// `contractSlot`, where the contract counts the destructor, found at
// `destructorSlot`, as one slot.
inline long ItaniumEntry(long contractSlot, long destructorSlot)
{
    return contractSlot > destructorSlot ? contractSlot + 1 : contractSlot;
}

// One row of a slot table: a function's name, the entry it has, the slot the
// contract gives it and where the contract puts the destructor (first, unless
// said otherwise).
struct SlotCase {
    const char* name;
    long actual;
    long contractSlot;
    long destructorSlot = 0;
};

// Checks every row; a failure names the interface and the function.
inline void ExpectSlots(const char* interfaceName, const std::vector<SlotCase>& cases)
{
    for (const SlotCase& c : cases) {
        EXPECT_EQ(c.actual, ItaniumEntry(c.contractSlot, c.destructorSlot))
            << interfaceName << "::" << c.name << " should be contract slot " << c.contractSlot;
    }
}

} // namespace UlmoraTest

#endif
