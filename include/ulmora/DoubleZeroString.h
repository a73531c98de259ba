// A list of texts kept in one double-NUL-terminated block ("a\0bc\0\0"), the
// form Windows uses for multi-string registry values, with an index of where
// each text starts.
//
// Threads: a list is used by one thread at a time; different lists may be used on different threads.
#ifndef ULMORA_DOUBLEZEROSTRING_H
#define ULMORA_DOUBLEZEROSTRING_H

#include <cstdint>
#include <vector>

#include "ulmora/Export.h"

// The members are part of the binary contract: lists cross module boundaries
// by value. The block starts at 256 bytes and only doubles.
class ULMORA_API DoubleZeroString {
public:
    DoubleZeroString();
    // Copies hold the texts of the source up to, not including, its first
    // empty text: they are rebuilt from the source's block. Assigning a list
    // to itself leaves it as it is.
    DoubleZeroString(const DoubleZeroString& other);
    virtual ~DoubleZeroString();
    DoubleZeroString& operator=(const DoubleZeroString& other);

    // Drops every text and starts again with a fresh 256-byte block.
    void Empty();
    // Appends `text` (NUL-terminated) as the last string. `text` may be one
    // of this list's own strings. A list that would outgrow a 32-bit size
    // raises std::bad_alloc.
    void Add(const char* text);
    // Appends each string of a double-NUL list, stopping at its first empty
    // one. The list may be this list's own block.
    void AddDoubleZero(const char* list);

    // The whole block. Valid until the next change of the list.
    operator const char*() const;
    // Bytes of the whole list with its final NUL.
    uint32_t Size() const;
    uint32_t GetCount() const;
    // The string at `index`, or null when out of range.
    const char* Get(uint32_t index) const;
    // Index of the first string equal to `text` (case-sensitive), or -1.
    int32_t Find(const char* text) const;
    // Length of the string at `index`, or 0 when out of range.
    uint32_t Length(uint32_t index) const;

private:
    void Grow(uint32_t required);
    void DeleteBuffer();

    std::vector<uint32_t> m_Offsets;
    char* m_Buffer;
    uint32_t m_Capacity;
    uint32_t m_Used;
};

#endif
