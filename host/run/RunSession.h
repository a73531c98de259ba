// One run of every installed probe and judge through the library, recorded
// for the report formats. The session prints its own errors (load failures,
// a plug-in that threw) and returns the exit status they call for.
#ifndef ULMORA_HOST_RUNSESSION_H
#define ULMORA_HOST_RUNSESSION_H

#include <string>

#include "Command.h"
#include "report/Report.h"
#include "run/HostDatabase.h"

namespace Host {

struct RunSettings {
    std::string logPath;     // empty: no log file
    bool progress = false;   // a progress line on stderr
    bool colour = false;     // in that line
};

class RunSession {
public:
    RunSession(const GlobalOptions& globals, RunSettings settings);

    // Loads and runs everything. Returns -1 when `report` is ready, or the
    // exit status of the failure it has already reported on stderr.
    int Run(Report* report);

private:
    const GlobalOptions& m_Globals;
    RunSettings m_Settings;
    HostDatabase m_Database;
};

} // namespace Host

#endif
