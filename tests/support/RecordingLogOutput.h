// A log output that keeps every message it receives, so tests can check what
// was logged, by whom, at which level and in which order.
#ifndef ULMORA_TESTS_RECORDINGLOGOUTPUT_H
#define ULMORA_TESTS_RECORDINGLOGOUTPUT_H

#include <ctime>
#include <string>
#include <vector>

#include "ulmora/Log.h"

namespace UlmoraTest {

struct LogLine {
    int level;
    std::string module;
    // Only good for comparing deliveries of one message: the logger owns the
    // time it points to for the length of the call.
    const time_t* time;
    std::string text;
};

class RecordingLogOutput : public Log::ILogOutput {
public:
    void Write(int level, const char* module, const time_t* time, const char* text) override
    {
        lines.push_back({level, module, time, text});
    }

    // The texts logged under `module`, in order.
    std::vector<std::string> TextsOf(const std::string& module) const
    {
        std::vector<std::string> texts;
        for (const LogLine& line : lines) {
            if (line.module == module)
                texts.push_back(line.text);
        }
        return texts;
    }

    // Every line as "module|text", in order.
    std::vector<std::string> ModulesAndTexts() const
    {
        std::vector<std::string> joined;
        for (const LogLine& line : lines)
            joined.push_back(line.module + "|" + line.text);
        return joined;
    }

    std::vector<LogLine> lines;
};

} // namespace UlmoraTest

#endif
