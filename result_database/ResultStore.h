// The library's own result database: every value kept as text, the values of
// one key back to back in one DoubleZeroString.
#ifndef ULMORA_RESULT_DATABASE_RESULTSTORE_H
#define ULMORA_RESULT_DATABASE_RESULTSTORE_H

#include <cstdarg>
#include <functional>
#include <map>
#include <memory_resource>
#include <string>

#include "ulmora/IResultDatabase.h"

namespace Ulmora {

// Keys are ordered byte by byte with bytes taken as unsigned (std::string's
// char_traits compare like memcmp). Keys are lowered when a value is added and
// looked up exactly as formatted when read.
//
// Every typed add converts its value to text and goes through AddTextV; every
// typed get goes through GetTextV and converts the text it returns. Both are
// virtual (slots 30 and 31, after the thirty of IResultDatabase).
class ResultStore : public IResultDatabase {
public:
    ResultStore();
    ~ResultStore() override;

    void Clear() override;
    void AddUInt8(const char* keyFormat, uint8_t value, ...) override ULMORA_PRINTF(2, 4);
    void AddInt8(const char* keyFormat, int8_t value, ...) override ULMORA_PRINTF(2, 4);
    void AddUInt16(const char* keyFormat, uint16_t value, ...) override ULMORA_PRINTF(2, 4);
    void AddInt16(const char* keyFormat, int16_t value, ...) override ULMORA_PRINTF(2, 4);
    void AddUInt32(const char* keyFormat, uint32_t value, ...) override ULMORA_PRINTF(2, 4);
    void AddInt32(const char* keyFormat, int32_t value, ...) override ULMORA_PRINTF(2, 4);
    void AddUInt64(const char* keyFormat, uint64_t value, ...) override ULMORA_PRINTF(2, 4);
    void AddInt64(const char* keyFormat, int64_t value, ...) override ULMORA_PRINTF(2, 4);
    void AddFloat(const char* keyFormat, float value, ...) override ULMORA_PRINTF(2, 4);
    void AddDouble(const char* keyFormat, double value, ...) override ULMORA_PRINTF(2, 4);
    void AddBool(const char* keyFormat, bool value, ...) override ULMORA_PRINTF(2, 4);
    void AddString(const char* keyFormat, const char* value, ...) override ULMORA_PRINTF(2, 4);

    uint8_t GetUInt8(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);
    int8_t GetInt8(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);
    uint16_t GetUInt16(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);
    int16_t GetInt16(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);
    uint32_t GetUInt32(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);
    int32_t GetInt32(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);
    uint64_t GetUInt64(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);
    int64_t GetInt64(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);
    float GetFloat(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);
    double GetDouble(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);
    bool GetBool(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);
    std::string GetString(const char* keyFormat, uint32_t index, ...) const override ULMORA_PRINTF(2, 4);

    DoubleZeroString GetValues(const char* keyFormat, ...) const override ULMORA_PRINTF(2, 3);
    uint32_t GetValueCount(const char* keyFormat, ...) const override ULMORA_PRINTF(2, 3);
    std::string GetAsText() const override;
    void WriteToLog(Log::Logger* logger) const override;

    // Slot 30. Formats the key (at most strlen(keyFormat) + 511 bytes; a longer
    // key drops the value silently), lowers it and appends `value`.
    virtual void AddTextV(const char* keyFormat, const char* value, va_list& args) ULMORA_PRINTF(2, 0);
    // Slot 31. The text at `index` of the key formatted as given (same bound;
    // a longer key gives empty text). Raises ResultNotFoundException or
    // ResultIndexOutOfBoundException.
    virtual std::string GetTextV(const char* keyFormat, uint32_t index, va_list& args) const
        ULMORA_PRINTF(2, 0);

private:
    ResultStore(const ResultStore&) = delete;
    ResultStore& operator=(const ResultStore&) = delete;

    // Entries are only ever added one by one and removed all at once, so
    // their tree nodes come from one growing arena, back to back: a lookup
    // then walks nodes that share cache lines instead of nodes scattered
    // between the value blocks. Declared before the map, which it outlives.
    std::pmr::monotonic_buffer_resource m_Nodes;
    // std::less<> lets lookups use the formatted key in place, without
    // building a std::string per call.
    std::pmr::map<std::string, DoubleZeroString, std::less<>> m_Results;
};

} // namespace Ulmora

#endif
