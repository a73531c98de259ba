#include "util/IdentifierIndex.h"

namespace Ulmora {
namespace Util {

IdentifierIndex::IdentifierIndex(size_t count)
{
    Reserve(count);
}

void IdentifierIndex::Reserve(size_t count)
{
    size_t capacity = m_Entries.empty() ? 64 : m_Entries.size();
    while (count * 2 > capacity)
        capacity *= 2;
    if (capacity != m_Entries.size())
        Rehash(capacity);
}

void IdentifierIndex::InsertFirstMany(const std::vector<Entry>& entries, std::vector<char>& isFirst)
{
    Reserve(m_Count + entries.size());
    // A table that fits the processor's caches needs no grouping.
    if (m_Entries.size() * sizeof(Entry) <= (size_t(1) << 19)) {
        for (const Entry& entry : entries)
            isFirst[entry.position] = InsertFirst(entry.id, entry.position) ? 1 : 0;
        return;
    }
    const unsigned tableBits = 32 - m_Shift;
    const unsigned groupBits = 8;
    std::vector<uint32_t> starts((size_t(1) << groupBits) + 1, 0);
    for (const Entry& entry : entries)
        ++starts[(Slot(entry.id) >> (tableBits - groupBits)) + 1];
    for (size_t g = 1; g < starts.size(); ++g)
        starts[g] += starts[g - 1];
    std::vector<Entry> grouped(entries.size());
    for (const Entry& entry : entries)
        grouped[starts[Slot(entry.id) >> (tableBits - groupBits)]++] = entry;
    for (const Entry& entry : grouped)
        isFirst[entry.position] = InsertFirst(entry.id, entry.position) ? 1 : 0;
}

void IdentifierIndex::Rehash(size_t capacity)
{
    std::vector<Entry> old;
    old.swap(m_Entries);
    m_Entries.assign(capacity, Entry{0, kNone});
    m_Shift = 32;
    for (size_t size = m_Entries.size(); size > 1; size >>= 1)
        --m_Shift;
    m_Count = 0;
    for (const Entry& entry : old) {
        if (entry.position != kNone)
            InsertFirst(entry.id, entry.position);
    }
}

} // namespace Util
} // namespace Ulmora
