// A result database a host brings itself, built only against the exported
// interface. It stores nothing; it counts what the application asks of it and
// answers with fixed texts.
#ifndef ULMORA_TESTS_HOSTDATABASE_H
#define ULMORA_TESTS_HOSTDATABASE_H

#include <string>
#include <utility>

#include "ulmora/Ulmora.h"

namespace UlmoraTest {

class HostDatabase : public Ulmora::IResultDatabase {
public:
    // `text` is what GetAsText returns, `logText` what WriteToLog logs without
    // a module.
    HostDatabase(std::string text, std::string logText)
        : m_Text(std::move(text)), m_LogText(std::move(logText))
    {
    }

    void Clear() override { ++clears; }
    void AddUInt8(const char*, uint8_t, ...) override {}
    void AddInt8(const char*, int8_t, ...) override {}
    void AddUInt16(const char*, uint16_t, ...) override {}
    void AddInt16(const char*, int16_t, ...) override {}
    void AddUInt32(const char*, uint32_t, ...) override {}
    void AddInt32(const char*, int32_t, ...) override {}
    void AddUInt64(const char*, uint64_t, ...) override {}
    void AddInt64(const char*, int64_t, ...) override {}
    void AddFloat(const char*, float, ...) override {}
    void AddDouble(const char*, double, ...) override {}
    void AddBool(const char*, bool, ...) override {}
    void AddString(const char*, const char*, ...) override {}
    uint8_t GetUInt8(const char*, uint32_t, ...) const override { return 0; }
    int8_t GetInt8(const char*, uint32_t, ...) const override { return 0; }
    uint16_t GetUInt16(const char*, uint32_t, ...) const override { return 0; }
    int16_t GetInt16(const char*, uint32_t, ...) const override { return 0; }
    uint32_t GetUInt32(const char*, uint32_t, ...) const override { return 0; }
    int32_t GetInt32(const char*, uint32_t, ...) const override { return 0; }
    uint64_t GetUInt64(const char*, uint32_t, ...) const override { return 0; }
    int64_t GetInt64(const char*, uint32_t, ...) const override { return 0; }
    float GetFloat(const char*, uint32_t, ...) const override { return 0; }
    double GetDouble(const char*, uint32_t, ...) const override { return 0; }
    bool GetBool(const char*, uint32_t, ...) const override { return false; }
    std::string GetString(const char*, uint32_t, ...) const override { return std::string(); }
    DoubleZeroString GetValues(const char*, ...) const override { return DoubleZeroString(); }
    uint32_t GetValueCount(const char*, ...) const override { return 0; }
    std::string GetAsText() const override { return m_Text; }
    void WriteToLog(Log::Logger* logger) const override
    {
        ++writes;
        if (failWrite)
            throw Ulmora::ResultNotFoundException("in the log");
        logger->PrintNoModule("%s", m_LogText.c_str());
    }

    int clears = 0;
    mutable int writes = 0;
    bool failWrite = false;

private:
    std::string m_Text;
    std::string m_LogText;
};

} // namespace UlmoraTest

#endif
