// The host's own result database. It stores what the probes add with the
// same conversions as the library's store (so judges read the same values),
// and also remembers which values each probe added: the values added between
// two completed probes belong to the second.
#ifndef ULMORA_HOST_HOSTDATABASE_H
#define ULMORA_HOST_HOSTDATABASE_H

#include <cstdarg>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ulmora/IResultDatabase.h"

namespace Host {

// The values of one key, in the order they were added.
struct KeyValues {
    std::string key;
    std::vector<std::string> values;
};

class HostDatabase : public Ulmora::IResultDatabase {
public:
    void Clear() override;
    void AddUInt8(const char* keyFormat, uint8_t value, ...) override;
    void AddInt8(const char* keyFormat, int8_t value, ...) override;
    void AddUInt16(const char* keyFormat, uint16_t value, ...) override;
    void AddInt16(const char* keyFormat, int16_t value, ...) override;
    void AddUInt32(const char* keyFormat, uint32_t value, ...) override;
    void AddInt32(const char* keyFormat, int32_t value, ...) override;
    void AddUInt64(const char* keyFormat, uint64_t value, ...) override;
    void AddInt64(const char* keyFormat, int64_t value, ...) override;
    void AddFloat(const char* keyFormat, float value, ...) override;
    void AddDouble(const char* keyFormat, double value, ...) override;
    void AddBool(const char* keyFormat, bool value, ...) override;
    void AddString(const char* keyFormat, const char* value, ...) override;

    uint8_t GetUInt8(const char* keyFormat, uint32_t index, ...) const override;
    int8_t GetInt8(const char* keyFormat, uint32_t index, ...) const override;
    uint16_t GetUInt16(const char* keyFormat, uint32_t index, ...) const override;
    int16_t GetInt16(const char* keyFormat, uint32_t index, ...) const override;
    uint32_t GetUInt32(const char* keyFormat, uint32_t index, ...) const override;
    int32_t GetInt32(const char* keyFormat, uint32_t index, ...) const override;
    uint64_t GetUInt64(const char* keyFormat, uint32_t index, ...) const override;
    int64_t GetInt64(const char* keyFormat, uint32_t index, ...) const override;
    float GetFloat(const char* keyFormat, uint32_t index, ...) const override;
    double GetDouble(const char* keyFormat, uint32_t index, ...) const override;
    bool GetBool(const char* keyFormat, uint32_t index, ...) const override;
    std::string GetString(const char* keyFormat, uint32_t index, ...) const override;

    DoubleZeroString GetValues(const char* keyFormat, ...) const override;
    uint32_t GetValueCount(const char* keyFormat, ...) const override;
    std::string GetAsText() const override;
    void WriteToLog(Log::Logger* logger) const override;

    // Ends the current probe's share: what was added since the last call
    // (keys in the order first added). The next values start a new share.
    std::vector<KeyValues> TakeShare();

    // The first value of `key`, or null.
    const std::string* First(const std::string& key) const;
    const std::vector<std::string>* Find(const std::string& key) const;
    // Every key in byte order with its values.
    const std::map<std::string, std::vector<std::string>>& Values() const { return m_Values; }

private:
    void AddText(const char* keyFormat, const char* value, va_list args);
    std::string GetText(const char* keyFormat, uint32_t index, va_list args) const;

    std::map<std::string, std::vector<std::string>> m_Values;
    std::vector<KeyValues> m_Share;
};

} // namespace Host

#endif
