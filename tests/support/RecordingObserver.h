// A parameter observer that writes every call it receives into a shared log,
// so tests can check the order of calls across several observers.
#ifndef ULMORA_TESTS_RECORDINGOBSERVER_H
#define ULMORA_TESTS_RECORDINGOBSERVER_H

#include <string>
#include <vector>

#include "ulmora/Parameter.h"

namespace UlmoraTest {

class RecordingObserver : public IParameterObserver {
public:
    RecordingObserver(std::string name, std::vector<std::string>* log, bool allow = true)
        : m_Name(std::move(name)), m_Log(log), m_Allow(allow)
    {
    }

    bool AllowParameterChange(Parameter* parameter, const void* value, uint32_t code) override
    {
        lastParameter = parameter;
        lastProposed = value;
        lastCode = code;
        m_Log->push_back(m_Name + ":allow");
        return m_Allow;
    }
    void NotifyParameterChanged(Parameter* parameter, uint32_t code) override
    {
        lastParameter = parameter;
        lastCode = code;
        m_Log->push_back(m_Name + ":changed");
    }
    void NotifyParameterTranslate(Parameter* parameter, uint32_t code) override
    {
        lastParameter = parameter;
        lastCode = code;
        m_Log->push_back(m_Name + ":translate");
    }

    Parameter* lastParameter = nullptr;
    const void* lastProposed = nullptr;
    uint32_t lastCode = 0xFFFFFFFFu;

private:
    std::string m_Name;
    std::vector<std::string>* m_Log;
    bool m_Allow;
};

// Counts how often each kind of call arrived.
inline int Count(const std::vector<std::string>& log, const std::string& entry)
{
    int n = 0;
    for (const std::string& e : log)
        n += e == entry ? 1 : 0;
    return n;
}

} // namespace UlmoraTest

#endif
