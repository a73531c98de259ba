#include "run/RunSession.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "ModuleFolders.h"
#include "run/LogFile.h"
#include "ulmora/Ulmora.h"

namespace Host {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The run list of a test manager: its tests in the order they run. It is a
// protected member that the public header gives to derived classes; this
// class exists only to name it and is never made.
class RunList : public Ulmora::TestManager {
public:
    static const std::vector<Ulmora::ITestDescriptor*>& Of(const Ulmora::TestManager& manager)
    {
        return manager.*(&RunList::m_Tests);
    }
};

std::string NameOf(PluginManagerAPI::IPluginDescriptor* descriptor)
{
    const char* name = descriptor != nullptr ? descriptor->GetName() : nullptr;
    return name != nullptr ? name : "";
}

// Follows the run: after each completed probe it files the values added
// since the one before under it, and shows progress.
class RunObserver : public Ulmora::TestManager::TestObserver {
public:
    RunObserver(HostDatabase& database, const RunSettings& settings, Report& report)
        : m_Database(database), m_Settings(settings), m_Report(report)
    {
    }

    void Start()
    {
        m_Last = Clock::now();
        Progress("running the probes...");
    }

    void OnTestCompleted(Ulmora::TestManager* manager) override
    {
        const double seconds = SecondsSince(m_Last);
        m_Last = Clock::now();
        m_Total = manager->GetNumTests();
        m_Completed = manager->GetNumTestCompleted();
        const std::vector<Ulmora::ITestDescriptor*>& runList = RunList::Of(*manager);
        ProbeRecord probe;
        const size_t index = static_cast<size_t>(m_Completed > 0 ? m_Completed - 1 : 0);
        if (index < runList.size()) {
            Ulmora::ITestDescriptor* test = runList[index];
            probe.name = NameOf(test);
            probe.id = test->GetPluginID().GetID();
            probe.version = test->GetVersion();
        }
        m_Next.clear();
        if (static_cast<size_t>(m_Completed) < runList.size())
            m_Next = NameOf(runList[static_cast<size_t>(m_Completed)]);
        probe.seconds = seconds;
        probe.values = m_Database.TakeShare();
        m_Report.probes.push_back(probe);
        std::string line = "[" + std::to_string(m_Completed) + "/" + std::to_string(m_Total) + "] " +
                           probe.name + " done";
        if (!m_Next.empty())
            line += ", running " + m_Next + "...";
        Progress(line);
    }

    void Finish()
    {
        if (m_Settings.progress) {
            std::fputs("\r\x1b[K", stderr);
            std::fflush(stderr);
        }
    }

    // Where the run stood when it failed, in words.
    std::string Where() const
    {
        if (m_Total == 0)
            return "during the first probe (before any probe completed)";
        if (m_Completed < m_Total) {
            std::string where = "during the probe '" + m_Next + "' (probe " +
                                std::to_string(m_Completed + 1) + " of " + std::to_string(m_Total);
            if (!m_Report.probes.empty())
                where += ", after '" + m_Report.probes.back().name + "'";
            return where + ")";
        }
        return "while the judges were judging (after all " + std::to_string(m_Total) +
               " probes had completed)";
    }

    bool ProbesDone() const { return m_Total > 0 && m_Completed >= m_Total; }

private:
    void Progress(const std::string& text)
    {
        if (!m_Settings.progress)
            return;
        if (m_Settings.colour)
            std::fprintf(stderr, "\r\x1b[K\x1b[2mulmora: %s\x1b[0m", text.c_str());
        else
            std::fprintf(stderr, "\r\x1b[Kulmora: %s", text.c_str());
        std::fflush(stderr);
    }

    HostDatabase& m_Database;
    const RunSettings& m_Settings;
    Report& m_Report;
    Clock::time_point m_Last = Clock::now();
    int m_Total = 0;
    int m_Completed = 0;
    std::string m_Next;
};

// The plug-in managers' diagnostic lines: kept for error messages, and shown
// as they come with --verbose.
struct DebugLines {
    bool echo = false;
    std::vector<std::string> lines;

    static void Handle(const char* text, void* context)
    {
        DebugLines* self = static_cast<DebugLines*>(context);
        self->lines.emplace_back(text != nullptr ? text : "");
        if (self->echo) {
            std::fputs(text, stderr);
            std::fflush(stderr);
        }
    }

    // The loader's reason for the last module that failed to load.
    std::string LastLoadFailure() const
    {
        static const std::string kPrefix = "Failed to load module: ";
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            if (it->compare(0, kPrefix.size(), kPrefix) == 0) {
                std::string reason = it->substr(kPrefix.size());
                while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
                    reason.pop_back();
                return reason;
            }
        }
        return std::string();
    }
};

std::string ParameterText(Parameter* parameter)
{
    std::string text;
    if (parameter != nullptr)
        parameter->GetDisplayValue(text);
    return text;
}

ParameterList* NestedList(Parameter* parameter)
{
    if (parameter == nullptr || parameter->Type() != TypeParameterList)
        return nullptr;
    ParameterList* list = nullptr;
    static_cast<ParameterParameterList*>(parameter)->GetValue(list);
    return list;
}

Parameter* Named(const ParameterList& list, const char* name)
{
    for (uint32_t i = 0; i < list.GetNumParameters(); ++i) {
        Parameter* parameter = list.GetParameter(static_cast<int32_t>(i));
        if (parameter != nullptr && parameter->GetName() != nullptr &&
            std::string(parameter->GetName()) == name)
            return parameter;
    }
    return nullptr;
}

// Reads what one judge published, per the kit's findings convention.
JudgeRecord ReadJudge(const ParameterList& list)
{
    JudgeRecord judge;
    judge.name = list.GetName();
    judge.title = list.GetDisplayName();
    Parameter* answer = list.FindParameter(Ulmora::Kit::kAnswerID);
    Parameter* summary = list.FindParameter(Ulmora::Kit::kSummaryID);
    if (answer != nullptr && answer->Type() == TypeInt) {
        judge.publishesVerdict = true;
        judge.answer = std::atoi(ParameterText(answer).c_str());
        judge.summary = ParameterText(summary);
    }
    ParameterList* findings = NestedList(list.FindParameter(Ulmora::Kit::kFindingsID));
    if (findings == nullptr)
        return judge;
    for (uint32_t i = 0; i < findings->GetNumParameters(); ++i) {
        ParameterList* item = NestedList(findings->GetParameter(static_cast<int32_t>(i)));
        if (item == nullptr)
            continue;
        FindingRecord finding;
        finding.key = item->GetName();
        finding.label = item->GetDisplayName();
        finding.status = ParameterText(Named(*item, "status"));
        finding.measured = ParameterText(Named(*item, "measured"));
        finding.minimum = ParameterText(Named(*item, "minimum"));
        finding.recommended = ParameterText(Named(*item, "recommended"));
        finding.unit = ParameterText(Named(*item, "unit"));
        finding.toleranceRatio = ParameterText(Named(*item, "tolerance_ratio"));
        finding.source = ParameterText(Named(*item, "source"));
        finding.note = ParameterText(Named(*item, "note"));
        judge.findings.push_back(finding);
    }
    return judge;
}

std::vector<JudgeRecord> ReadJudges(Ulmora::IApplication& application)
{
    std::vector<JudgeRecord> judges;
    ParameterList* lists = application.GetParameterList();
    if (lists == nullptr)
        return judges;
    for (uint32_t i = 0; i < lists->GetNumParameters(); ++i) {
        ParameterList* list = NestedList(lists->GetParameter(static_cast<int32_t>(i)));
        if (list != nullptr)
            judges.push_back(ReadJudge(*list));
    }
    return judges;
}

// The file named by a load failure's message (its last line).
std::string FailedModule(const std::string& message)
{
    const size_t newline = message.find_last_of('\n');
    return newline == std::string::npos ? std::string() : message.substr(newline + 1);
}

} // namespace

RunSession::RunSession(const GlobalOptions& globals, RunSettings settings)
    : m_Globals(globals), m_Settings(std::move(settings))
{
}

int RunSession::Run(Report* report)
{
    // The log must be there before anything runs, or the run is pointless
    // for whoever asked for it.
    LogFile log;
    if (!m_Settings.logPath.empty()) {
        std::string error;
        if (!log.Open(m_Settings.logPath, &error)) {
            std::fprintf(stderr, "ulmora: cannot open the log file %s: %s\n",
                         m_Settings.logPath.c_str(), error.c_str());
            return kExitCannotWrite;
        }
    }
    const int folders = CheckModuleFolders(m_Globals);
    if (folders != kExitOk)
        return folders;
    const std::string root = ExecutableFolder();

    DebugLines debug;
    debug.echo = m_Globals.verbose;
    UlmoraSetDebugOutputHandler(&DebugLines::Handle, &debug);

    RunObserver observer(m_Database, m_Settings, *report);
    Ulmora::IApplication* application = nullptr;
    int status = -1;
    enum Phase { Creating, Loading, Running, Saving } phase = Creating;
    try {
        CreateApplication(&application);
        if (!m_Settings.logPath.empty())
            application->AddLogOutput(&log);
        application->SetResultDatabase(&m_Database);
        application->AddTestObserver(&observer);
        phase = Loading;
        application->LoadTestDLLs();
        application->LoadInterpreterDLLs();
        if (application->GetLoadedPluginsInfo().empty()) {
            std::fprintf(stderr,
                         "ulmora: no probe or judge module found: looked for *.tst and *.intr in "
                         "%s and the folders below it\n",
                         root.c_str());
            status = kExitNoModules;
        } else {
            phase = Running;
            report->started = std::time(nullptr);
            report->database = &m_Database;
            const Clock::time_point start = Clock::now();
            observer.Start();
            report->answer = application->Run();
            report->seconds = SecondsSince(start);
            observer.Finish();
            report->judges = ReadJudges(*application);
            phase = Saving;
            // The judges keep their last verdict in the settings store.
            application->Save();
        }
    } catch (const Ulmora::Exception& error) {
        observer.Finish();
        const std::string message = error.GetErrorMsg();
        const std::string module = FailedModule(message);
        if (phase == Loading && message.find("failed to load") != std::string::npos &&
            !module.empty()) {
            const std::string reason = debug.LastLoadFailure();
            std::fprintf(stderr, "ulmora: cannot load the module %s%s%s\n", module.c_str(),
                         reason.empty() ? "" : ": ", reason.c_str());
            std::fprintf(stderr,
                         "ulmora: every *.tst and *.intr below %s is loaded; to run without this "
                         "file, move it out of that folder (or delete it)\n",
                         root.c_str());
            log.Note("cannot load the module " + module + ": " + reason);
        } else {
            std::string where = phase == Running ? " " + observer.Where() : std::string();
            std::fprintf(stderr, "ulmora: the library reported an error%s: %s\n", where.c_str(),
                         message.c_str());
            log.Note("the library reported an error" + where + ": " + message);
        }
        status = kExitSoftware;
    } catch (const std::exception& error) {
        observer.Finish();
        const std::string where = phase == Running ? observer.Where() : "while loading the modules";
        std::fprintf(stderr, "ulmora: a plug-in threw an exception %s: %s\n", where.c_str(),
                     error.what());
        log.Note("a plug-in threw an exception " + where + ": " + error.what());
        status = kExitSoftware;
    } catch (...) {
        observer.Finish();
        const std::string where = phase == Running ? observer.Where() : "while loading the modules";
        std::fprintf(stderr,
                     "ulmora: a plug-in threw something that is not a std::exception %s\n",
                     where.c_str());
        log.Note("a plug-in threw something that is not a std::exception " + where);
        status = kExitSoftware;
    }
    try {
        ReleaseApplication(&application);
    } catch (...) {
        std::fputs("ulmora: a plug-in failed while being unloaded\n", stderr);
        if (status == -1)
            status = kExitSoftware;
    }
    UlmoraSetDebugOutputHandler(nullptr, nullptr);
    if (!log.Close() && status == -1) {
        std::fprintf(stderr, "ulmora: cannot write the log file %s\n", m_Settings.logPath.c_str());
        status = kExitCannotWrite;
    }
    return status;
}

} // namespace Host
