// The report formats of `ulmora run`. Each turns a finished run into text;
// none of them writes anything itself.
#ifndef ULMORA_HOST_FORMATS_H
#define ULMORA_HOST_FORMATS_H

#include <string>

#include "report/Report.h"

namespace Host {

// For people: the machine, a section per probe in human units, the judges'
// verdicts and one summary line. ANSI colours when `colour` is set.
std::string HumanReport(const Report& report, bool colour);

// One JSON document, schema "ulmora.report/1" (docs/report.schema.json).
std::string JsonReport(const Report& report);

// A node_exporter textfile (Prometheus text exposition format).
std::string PrometheusReport(const Report& report);

// A monitoring-plugin status line; `status` receives its exit status 0-3.
std::string MonitoringPluginReport(const Report& report, int* status);

// key<TAB>value per value, keys in byte order, with tab, newline, carriage
// return and backslash in keys and values written as \t, \n, \r and \\.
std::string PlainReport(const Report& report);

// Shared by the formats.
std::string StatusWord(uint32_t answer);        // OK, WARNING, CRITICAL, UNKNOWN
std::string HumanValue(const std::string& unit, const std::string& text);
// Makes `text` valid UTF-8: each byte that does not belong to a well-formed
// sequence becomes U+FFFD. Returns true when something was replaced.
bool ToValidUtf8(const std::string& text, std::string* out);

} // namespace Host

#endif
