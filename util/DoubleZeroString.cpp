#include "ulmora/DoubleZeroString.h"

#include <cstring>
#include <functional>
#include <new>
#include <string>

namespace {
const uint32_t kInitialCapacity = 256;
// The largest block: one more doubling would not fit the 32-bit size.
const uint32_t kMaxCapacity = 0x80000000u;

// Whether `text` points into the block [block, block + size).
bool InBlock(const char* text, const char* block, uint32_t size)
{
    const std::less<const char*> before;
    return !before(text, block) && before(text, block + size);
}
}

DoubleZeroString::DoubleZeroString() : m_Buffer(nullptr), m_Capacity(0), m_Used(0)
{
    Empty();
}

DoubleZeroString::DoubleZeroString(const DoubleZeroString& other)
    : m_Buffer(nullptr), m_Capacity(0), m_Used(0)
{
    Empty();
    AddDoubleZero(other.m_Buffer);
}

DoubleZeroString::~DoubleZeroString()
{
    delete[] m_Buffer;
}

DoubleZeroString& DoubleZeroString::operator=(const DoubleZeroString& other)
{
    // Rebuilding from our own block would read it after Empty freed it, and
    // would lose the strings behind an empty one: x = x leaves x as it is.
    if (this == &other)
        return *this;
    Empty();
    AddDoubleZero(other.m_Buffer);
    return *this;
}

void DoubleZeroString::Empty()
{
    std::vector<uint32_t>().swap(m_Offsets);
    DeleteBuffer();
    m_Capacity = kInitialCapacity;
    m_Used = 0;
    m_Buffer = new char[m_Capacity];
    m_Buffer[0] = 0;
    m_Buffer[1] = 0;
}

void DoubleZeroString::Add(const char* text)
{
    const size_t length = std::strlen(text);
    // The block's size is a 32-bit number that must stay above the text,
    // its NUL and the final NUL.
    if (length >= kMaxCapacity - 1 - m_Used)
        throw std::bad_alloc();
    const uint32_t n = static_cast<uint32_t>(length);
    // A string of this very list (Add(Get(i))) would be freed by Grow.
    if (InBlock(text, m_Buffer, m_Capacity)) {
        const uint32_t offset = static_cast<uint32_t>(text - m_Buffer);
        Grow(m_Used + n + 1);
        text = m_Buffer + offset;
    } else {
        Grow(m_Used + n + 1);
    }
    // The offset goes in first, so that a failing allocation leaves the list
    // as it was. memmove: an empty text may be the block's final NUL itself.
    m_Offsets.push_back(m_Used);
    std::memmove(m_Buffer + m_Used, text, n + 1);
    m_Used += n + 1;
    m_Buffer[m_Used] = 0;
}

void DoubleZeroString::AddDoubleZero(const char* list)
{
    if (list == nullptr)
        return;
    // Walking our own block while appending to it would never reach its end.
    if (InBlock(list, m_Buffer, m_Capacity)) {
        if (list > m_Buffer + m_Used)
            return;
        const std::string bytes(list, static_cast<size_t>(m_Buffer + m_Used + 1 - list));
        AddDoubleZero(bytes.data());
        return;
    }
    while (*list != 0) {
        Add(list);
        list += std::strlen(list) + 1;
    }
}

DoubleZeroString::operator const char*() const
{
    return m_Buffer;
}

uint32_t DoubleZeroString::Size() const
{
    return m_Used + 1;
}

uint32_t DoubleZeroString::GetCount() const
{
    return static_cast<uint32_t>(m_Offsets.size());
}

const char* DoubleZeroString::Get(uint32_t index) const
{
    if (index >= m_Offsets.size())
        return nullptr;
    return m_Buffer + m_Offsets[index];
}

int32_t DoubleZeroString::Find(const char* text) const
{
    for (uint32_t i = 0; i < m_Offsets.size(); ++i) {
        if (std::strcmp(m_Buffer + m_Offsets[i], text) == 0)
            return static_cast<int32_t>(i);
    }
    return -1;
}

uint32_t DoubleZeroString::Length(uint32_t index) const
{
    if (index >= m_Offsets.size())
        return 0;
    // The strings lie back to back, so the next start (or the final NUL)
    // tells the length without reading the text.
    const uint32_t end = index + 1 < m_Offsets.size() ? m_Offsets[index + 1] : m_Used;
    return end - m_Offsets[index] - 1;
}

void DoubleZeroString::Grow(uint32_t required)
{
    if (m_Capacity > required)
        return;
    uint32_t capacity = m_Capacity;
    while (capacity <= required)
        capacity *= 2;
    // One reallocation per growth rather than one per doubling step; the
    // block still only takes the sizes 256, 512, 1024, ...
    char* block = new char[capacity];
    std::memcpy(block, m_Buffer, m_Used + 1);
    delete[] m_Buffer;
    m_Buffer = block;
    m_Capacity = capacity;
}

void DoubleZeroString::DeleteBuffer()
{
    delete[] m_Buffer;
    m_Buffer = nullptr;
}
