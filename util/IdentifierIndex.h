// The library's one index from 32-bit identifiers (test and parameter
// identifiers) to positions in a list. Internal: not part of the SDK.
#ifndef ULMORA_UTIL_IDENTIFIERINDEX_H
#define ULMORA_UTIL_IDENTIFIERINDEX_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Ulmora {
namespace Util {

// Open addressing in one flat array, which stays in cache where a node-based
// map would spend its time in allocation and cache misses. The first position
// recorded for an identifier stays; later ones are refused.
class IdentifierIndex {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    struct Entry {
        uint32_t id;
        uint32_t position;
    };

    IdentifierIndex() = default;
    // Sized for `count` entries, so that recording them never rehashes.
    explicit IdentifierIndex(size_t count);

    // Records `position` for `id` unless a position is recorded; true when it
    // was recorded.
    bool InsertFirst(uint32_t id, uint32_t position)
    {
        if ((m_Count + 1) * 2 > m_Entries.size())
            Reserve(m_Count + 1);
        const size_t mask = m_Entries.size() - 1;
        size_t slot = Slot(id);
        while (m_Entries[slot].position != kNone) {
            if (m_Entries[slot].id == id)
                return false;
            slot = (slot + 1) & mask;
        }
        m_Entries[slot] = Entry{id, position};
        ++m_Count;
        return true;
    }
    // Records many entries, given in rising position order, and marks in
    // `isFirst` (indexed by position) those that were recorded. A large batch
    // is inserted grouped by the region of the table it hashes to, so that it
    // is indexed without a cache miss per entry; the grouping is stable, so
    // the earliest position of an identifier still wins.
    void InsertFirstMany(const std::vector<Entry>& entries, std::vector<char>& isFirst);
    // The recorded position for `id`, or kNone. Inline with InsertFirst: both
    // sit in the callers' innermost loops.
    uint32_t Find(uint32_t id) const
    {
        if (m_Count == 0)
            return kNone;
        const size_t mask = m_Entries.size() - 1;
        size_t slot = Slot(id);
        while (m_Entries[slot].position != kNone) {
            if (m_Entries[slot].id == id)
                return m_Entries[slot].position;
            slot = (slot + 1) & mask;
        }
        return kNone;
    }

private:
    // Fibonacci hashing: the high bits of the product, so that identifiers
    // that differ only in high bits (multiples of a power of two) spread.
    size_t Slot(uint32_t id) const
    {
        return static_cast<size_t>(static_cast<uint32_t>(id * 0x9E3779B1u) >> m_Shift);
    }
    void Reserve(size_t count);
    void Rehash(size_t capacity);

    std::vector<Entry> m_Entries;
    size_t m_Count = 0;
    unsigned m_Shift = 32;
};

} // namespace Util
} // namespace Ulmora

#endif
