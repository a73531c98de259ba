#include "ulmora/DoubleZeroString.h"

#include <cstring>

namespace {
const uint32_t kInitialCapacity = 256;
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
    if (this == &other) {
        // Rebuilding from our own block would read it after Empty freed it;
        // the result of a self-copy is the list cut at its first empty text.
        DoubleZeroString copy(other);
        return *this = copy;
    }
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
    const uint32_t n = static_cast<uint32_t>(std::strlen(text));
    Grow(m_Used + n + 1);
    std::memcpy(m_Buffer + m_Used, text, n + 1);
    m_Offsets.push_back(m_Used);
    m_Used += n + 1;
    m_Buffer[m_Used] = 0;
}

void DoubleZeroString::AddDoubleZero(const char* list)
{
    if (list == nullptr)
        return;
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
    return static_cast<uint32_t>(std::strlen(m_Buffer + m_Offsets[index]));
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
