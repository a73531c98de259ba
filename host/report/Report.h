// What one run found, as every report format sees it: the probes in the
// order they ran with their values, and what each judge published.
#ifndef ULMORA_HOST_REPORT_H
#define ULMORA_HOST_REPORT_H

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "run/HostDatabase.h"

namespace Host {

struct ProbeRecord {
    std::string name;
    uint32_t id = 0;
    int32_t version = 0;
    double seconds = 0.0;
    std::vector<KeyValues> values;  // in the order the probe added them

    // The probe's own "<prefix>status" value, or empty.
    std::string Status() const;
};

// One finding of a judge, as the kit's findings convention publishes it.
struct FindingRecord {
    std::string key;
    std::string label;
    std::string status;
    std::string measured;
    std::string minimum;
    std::string recommended;
    std::string unit;
    std::string toleranceRatio;
    std::string source;
    std::string note;
};

struct JudgeRecord {
    std::string name;   // the list's name, such as "Requirements"
    std::string title;  // its display name
    bool publishesVerdict = false;  // has the kit's answer and summary
    int32_t answer = 0;
    std::string summary;
    std::vector<FindingRecord> findings;
};

struct Report {
    std::time_t started = 0;
    double seconds = 0.0;
    std::vector<ProbeRecord> probes;
    std::vector<JudgeRecord> judges;
    uint32_t answer = 0;
    const HostDatabase* database = nullptr;

    // The first value of `key`, or empty.
    std::string Value(const std::string& key) const;
};

// The unit word of a key ("bytes" for "memory.total_bytes", "bits" for
// "system.process.bits"), or empty for free text.
std::string UnitOf(const std::string& key);
// Keys with a unit word hold numbers.
bool IsNumericKey(const std::string& key);
// Parses a whole decimal number; false for anything else (also for text
// after the number, and for nan and infinities).
bool ParseNumber(const std::string& text, double* value);

// The run's answer as an exit status: capped below the host's own codes.
int AnswerStatus(uint32_t answer);

} // namespace Host

#endif
