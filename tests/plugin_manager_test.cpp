// The plug-in manager over real fixture modules (tests/fixtures/plugin.cmake)
// and over descriptors made in this executable.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "PluginFixturePaths.h"
#include "Recorder.h"
#include "support/InMemoryTestDescriptor.h"
#include "ulmora/Ulmora.h"

namespace {

using PluginManagerAPI::IPluginDescriptor;
using PluginManagerAPI::IPluginInstance;
using PluginManagerAPI::PluginID;
using PluginManagerAPI::PluginIterator;
using PluginManagerAPI::PluginManager;
using PluginManagerAPI::SearchPattern;
using PluginManagerAPI::SearchPatternList;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using ::testing::UnorderedElementsAre;

const std::string kSep = PLUGIN_FIXTURE_SEPARATOR;

// Whether search folders are lower-cased (Windows).
bool FoldsCase()
{
    return SearchPattern("A", "*", true).directory == "a" + kSep;
}

std::string Folded(std::string text)
{
    if (FoldsCase())
        std::transform(text.begin(), text.end(), text.begin(), [](char c) { return static_cast<char>(::tolower(c)); });
    return text;
}

// A scenario folder as the manager searches it, with its trailing separator.
std::string Scenario(const std::string& relative)
{
    std::string path = std::string(PLUGIN_FIXTURE_ROOT) + kSep + relative;
    std::replace(path.begin(), path.end(), '/', kSep[0]);
    return SearchPattern(path, "*", true).directory;
}

std::vector<std::string> Events()
{
    std::vector<std::string> events;
    for (size_t i = 0; i < FixtureEventCount(); ++i)
        events.push_back(FixtureEvent(i));
    return events;
}

// The manager's calls on modules, without the destruction of their static
// interface objects as modules unload.
std::vector<std::string> Calls()
{
    std::vector<std::string> calls;
    for (const std::string& event : Events()) {
        if (event.find(":destroy-interface") == std::string::npos)
            calls.push_back(event);
    }
    return calls;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// An empty folder under the fixture root for files a test makes at run
// time, with its trailing separator.
std::string MadeFolder(const std::string& name)
{
    const std::string path = Scenario("made") + name;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path + kSep;
}

void CollectDebugLine(const char* text, void* context)
{
    static_cast<std::vector<std::string>*>(context)->push_back(text);
}

// Drives the base manager over chosen folders and records every hook call.
class ScenarioManager : public PluginManager {
public:
    struct Outcome {
        std::string path;
        Error error;
    };

    explicit ScenarioManager(std::vector<std::string> folders = {}, std::string pattern = "*.tst",
                             bool recursive = true)
        : folders(std::move(folders)), pattern(std::move(pattern)), recursive(recursive)
    {
    }

    std::vector<std::string> folders;
    std::string pattern;
    bool recursive;
    int patternRequests = 0;
    std::vector<std::string> begun;
    std::vector<Outcome> outcomes;
    std::function<int32_t(const std::string&)> begin;
    std::function<ErrorResponse(const std::string&, Error)> answer;

    std::vector<std::string> OfferedPaths() const
    {
        std::vector<std::string> paths;
        for (const Outcome& outcome : outcomes)
            paths.push_back(outcome.path);
        return paths;
    }

    Error ErrorFor(const std::string& path) const
    {
        for (const Outcome& outcome : outcomes) {
            if (outcome.path == path)
                return outcome.error;
        }
        ADD_FAILURE() << "never offered: " << path;
        return NoError;
    }

    std::vector<std::string> RegisteredNames()
    {
        std::vector<std::string> names;
        PluginIterator* iterator = CreateIterator();
        for (IPluginDescriptor* d = iterator->First(); d != nullptr; d = iterator->Next())
            names.push_back(d->GetName());
        ReleaseIterator(iterator);
        return names;
    }

    size_t KeptModules() const
    {
        return static_cast<size_t>(std::count_if(m_Modules.begin(), m_Modules.end(),
                                                 [](const void* record) { return record != nullptr; }));
    }

    using PluginManager::LoadDLL;
    using PluginManager::SearchDirectory;

protected:
    void GetSearchPatterns(SearchPatternList& patterns) override
    {
        ++patternRequests;
        for (const std::string& folder : folders)
            patterns.push_back(SearchPattern(folder, pattern, recursive));
    }

    int32_t OnBeginLoadDLL(std::string path) override
    {
        begun.push_back(path);
        return begin ? begin(path) : PluginManager::OnBeginLoadDLL(path);
    }

    ErrorResponse OnEndLoadDLL(std::string path, Error error) override
    {
        outcomes.push_back({path, error});
        return answer ? answer(path, error) : PluginManager::OnEndLoadDLL(path, error);
    }
};

class PluginManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FixtureClearEvents();
        UlmoraSetDebugOutputHandler(CollectDebugLine, &debugLines);
    }

    void TearDown() override { UlmoraSetDebugOutputHandler(nullptr, nullptr); }

    std::vector<std::string> debugLines;
};

// --- search patterns ---------------------------------------------------------

TEST(SearchPatternTest, PatternIsLoweredAndOneSeparatorEndsTheFolder)
{
    const std::string folder = std::string("Tools") + kSep + "Probe";
    const SearchPattern plain(folder, "*.TST", true);
    const SearchPattern ended(folder + kSep, "*.tst", false);
    EXPECT_EQ(plain.pattern, "*.tst");
    EXPECT_TRUE(plain.recursive);
    EXPECT_FALSE(ended.recursive);
    EXPECT_EQ(plain.directory, ended.directory);
    EXPECT_EQ(plain.directory.back(), kSep[0]);
    EXPECT_EQ(plain.directory.size(), folder.size() + 1);
    // Windows folds the folder's case; case-sensitive file systems keep it.
    EXPECT_TRUE(plain.directory == "tools" + kSep + "probe" + kSep ||
                plain.directory == "Tools" + kSep + "Probe" + kSep)
        << plain.directory;
    EXPECT_EQ(SearchPattern("", "*", true).directory, kSep);
}

// --- loading one file ----------------------------------------------------------

TEST_F(PluginManagerTest, OnlyApiVersion110IsAcceptedAndInitialized)
{
    const std::string folder = Scenario("version");
    ScenarioManager manager({folder});
    EXPECT_EQ(manager.Load(), 0);

    EXPECT_EQ(manager.ErrorFor(folder + "v109.tst"), PluginManager::WrongAPIVersion);
    EXPECT_EQ(manager.ErrorFor(folder + "v110.tst"), PluginManager::NoError);
    EXPECT_EQ(manager.ErrorFor(folder + "v111.tst"), PluginManager::WrongAPIVersion);
    EXPECT_THAT(manager.RegisteredNames(), ElementsAre("v110"));
    EXPECT_EQ(manager.KeptModules(), 1u);
    // Refused modules get neither Initialize nor ShutDown.
    EXPECT_THAT(Calls(), ElementsAre("v110:initialize"));
    EXPECT_THAT(manager.GetLastLoadError(), ::testing::HasSubstr("API version"));
}

TEST_F(PluginManagerTest, FilesThatAreNoUsableModuleReportTheirError)
{
    const std::string folder = Scenario("broken");
    ScenarioManager manager({folder});
    manager.Load();

    struct Row {
        const char* file;
        PluginManager::Error error;
    };
    const Row rows[] = {
        {"nullif.tst", PluginManager::InterfaceMissing},
        {"noentry.tst", PluginManager::EntryPointMissing},
        {"garbage.tst", PluginManager::LoadLibraryFailed},
        {"x.tst", PluginManager::LoadLibraryFailed},  // a folder is offered like a file
    };
    for (const Row& row : rows)
        EXPECT_EQ(manager.ErrorFor(folder + row.file), row.error) << row.file;
    EXPECT_EQ(manager.outcomes.size(), 4u);
    EXPECT_TRUE(manager.RegisteredNames().empty());
    EXPECT_EQ(manager.KeptModules(), 0u);
    EXPECT_TRUE(Calls().empty());
    EXPECT_FALSE(manager.GetLastLoadError().empty());
    // The reasons go to the debug output for whoever follows it.
    EXPECT_EQ(std::count_if(debugLines.begin(), debugLines.end(),
                            [](const std::string& line) { return line.rfind("Failed to load module: ", 0) == 0; }),
              4);
}

TEST_F(PluginManagerTest, ModuleWithoutPluginsIsInitializedShutDownAndDropped)
{
    ScenarioManager manager({Scenario("zero")});
    manager.Load();
    ASSERT_EQ(manager.outcomes.size(), 1u);
    EXPECT_EQ(manager.outcomes[0].error, PluginManager::NoError);
    EXPECT_EQ(manager.KeptModules(), 0u);
    EXPECT_THAT(Events(), ElementsAre("zero:initialize", "zero:shutdown", "zero:destroy-interface"));
}

TEST_F(PluginManagerTest, DuplicateIdentifierIsRefusedAndTheModuleKept)
{
    ScenarioManager manager({Scenario("three")});
    manager.Load();
    EXPECT_EQ(manager.outcomes.at(0).error, PluginManager::NoError);
    EXPECT_THAT(manager.RegisteredNames(), ElementsAre("first", "third"));
    EXPECT_EQ(manager.KeptModules(), 1u);
    EXPECT_THAT(debugLines, ElementsAre("Registered plugin: first\n",
                                        "Failed to register plugin: second(A plugin with the same PluginID is "
                                        "already registered.)\n",
                                        "Registered plugin: third\n"));
    EXPECT_THAT(Events(), ElementsAre("three:initialize"));
}

TEST_F(PluginManagerTest, HookCanSkipAFileBeforeItIsLoaded)
{
    ScenarioManager manager({Scenario("version")});
    manager.begin = [](const std::string&) { return 1; };
    manager.Load();
    ASSERT_EQ(manager.outcomes.size(), 3u);
    for (const auto& outcome : manager.outcomes)
        EXPECT_EQ(outcome.error, PluginManager::LoadSkipped) << outcome.path;
    EXPECT_TRUE(Calls().empty());
}

TEST_F(PluginManagerTest, SameFileLoadedTwiceIsRefusedAndUnloadedOnce)
{
    const std::string file = Scenario("twice") + "v110.tst";
    std::vector<std::string> unloadLines;
    {
        ScenarioManager manager({Scenario("twice")});
        manager.Load();
        manager.Load();
        EXPECT_THAT(manager.OfferedPaths(), ElementsAre(file, file));
        EXPECT_EQ(manager.outcomes[1].error, PluginManager::NoError);
        EXPECT_THAT(manager.RegisteredNames(), ElementsAre("v110"));
        EXPECT_EQ(manager.KeptModules(), 1u);
        EXPECT_THAT(Events(), ElementsAre("v110:initialize", "v110:initialize", "v110:shutdown"));
        debugLines.clear();
        FixtureClearEvents();
    }
    // One release, one shutdown, one unload for the module that was kept.
    EXPECT_THAT(debugLines, ElementsAre("Unloading plugins...\n", "Releasing " + file + ".\n"));
    EXPECT_THAT(Events(), ElementsAre("v110:release:v110", "v110:shutdown", "v110:destroy-interface"));
}

TEST_F(PluginManagerTest, TwoManagersShareAModuleAndUnloadInAnyOrder)
{
    // The module stays loaded while the second manager holds it; the first
    // manager must stop watching its interface when it unloads.
    auto first = std::make_unique<ScenarioManager>(std::vector<std::string>{Scenario("twice")});
    auto second = std::make_unique<ScenarioManager>(std::vector<std::string>{Scenario("twice")});
    first->Load();
    second->Load();
    EXPECT_THAT(second->RegisteredNames(), ElementsAre("v110"));
    first.reset();
    EXPECT_THAT(second->RegisteredNames(), ElementsAre("v110"));
    FixtureClearEvents();
    second.reset();
    EXPECT_THAT(Events(), ElementsAre("v110:release:v110", "v110:shutdown", "v110:destroy-interface"));
}

// --- the search ----------------------------------------------------------------

TEST_F(PluginManagerTest, SubfoldersAreSearchedInLowerCasedPathOrderAfterTheFiles)
{
    const std::string root = Scenario("order");
    ScenarioManager manager({root});
    manager.Load();
    const std::vector<std::string> offered = manager.OfferedPaths();
    ASSERT_EQ(offered.size(), 7u);
    // The folder's own files first, in the platform's order; the wildcard
    // ignores case and the file names keep theirs.
    EXPECT_THAT(std::vector<std::string>(offered.begin(), offered.begin() + 2),
                UnorderedElementsAre(root + "Alpha.tst", root + "Gamma.TST"));
    // "ab-c" before "ab": '-' sorts before the separator ending "ab"; then
    // "alpha" before "Beta", compared lower-cased.
    auto in = [&](const std::string& folder) { return root + Folded(folder) + kSep; };
    EXPECT_THAT(std::vector<std::string>(offered.begin() + 2, offered.end()),
                ElementsAre(in("ab-c") + "m.tst", in("ab") + "m.tst", in("ab") + "deep" + kSep + "m.tst",
                            in("alpha") + "m.tst", in("Beta") + "m.tst"));
}

TEST_F(PluginManagerTest, FolderWithoutMatchingFilesIsStillSearchedBelow)
{
    ScenarioManager manager({Scenario("abort")});
    manager.Load();
    EXPECT_EQ(manager.outcomes.size(), 4u);
}

TEST_F(PluginManagerTest, AbortThreeLevelsDownStopsEverySearch)
{
    const std::string root = Scenario("abort");
    ScenarioManager manager({root, Scenario("abort-second")});
    manager.answer = [](const std::string& path, PluginManager::Error) {
        return path.find(kSep + "c" + kSep) != std::string::npos ? PluginManager::Abort : PluginManager::Continue;
    };
    EXPECT_EQ(manager.Load(), 0);
    EXPECT_THAT(manager.OfferedPaths(), ElementsAre(root + "a" + kSep + "b" + kSep + "c" + kSep + "m.tst"));
    EXPECT_EQ(manager.SearchDirectory(root, "*.tst", true), PluginManager::Abort);
}

TEST_F(PluginManagerTest, RetryOffersTheSameFileAgain)
{
    const std::string file = Scenario("retry") + "m.tst";
    ScenarioManager manager({Scenario("retry")});
    int retries = 3;
    manager.answer = [&](const std::string&, PluginManager::Error) {
        return retries-- > 0 ? PluginManager::Retry : PluginManager::Continue;
    };
    manager.Load();
    EXPECT_THAT(manager.begun, ElementsAre(file, file, file, file));
    EXPECT_THAT(manager.OfferedPaths(), ElementsAre(file, file, file, file));
    EXPECT_EQ(Calls().size(), 8u);  // initialize and shutdown on every load
}

TEST_F(PluginManagerTest, IgnoreOnTheLastFileStillSearchesSubfolders)
{
    ScenarioManager manager({Scenario("flat")});
    manager.answer = [](const std::string&, PluginManager::Error) { return PluginManager::Ignore; };
    manager.Load();
    EXPECT_EQ(manager.outcomes.size(), 2u);
}

TEST_F(PluginManagerTest, NonRecursivePatternStaysInItsFolder)
{
    const std::string root = Scenario("flat");
    ScenarioManager manager({root}, "*.tst", false);
    manager.Load();
    EXPECT_THAT(manager.OfferedPaths(), ElementsAre(root + "m.tst"));
}

TEST_F(PluginManagerTest, LinkBackToAnEnclosingFolderIsNotFollowedTwice)
{
    const std::string root = Scenario("loop");
    ScenarioManager manager({root});
    manager.Load();
    EXPECT_THAT(manager.OfferedPaths(), ElementsAre(root + "m.tst", root + "sub" + kSep + "m.tst"));
}

TEST_F(PluginManagerTest, PathsLongerThan260CharactersDoNotOverflow)
{
    ScenarioManager manager({Scenario("long")});
    manager.Load();
    // Windows' plain file functions stop at 260 characters; elsewhere the
    // module is found.
    ASSERT_LE(manager.outcomes.size(), 1u);
    if (!manager.outcomes.empty()) {
        EXPECT_GT(manager.outcomes[0].path.size(), 260u);
        EXPECT_EQ(manager.outcomes[0].error, PluginManager::NoError);
    } else {
        // Where the folder cannot be searched, the debugger output says so.
        EXPECT_THAT(debugLines, Contains(StartsWith("Failed to search folder: ")));
    }
}

TEST_F(PluginManagerTest, PatternsAreAskedForUntilSomeAreGiven)
{
    ScenarioManager none;
    EXPECT_EQ(none.Load(), 0);
    EXPECT_EQ(none.Load(), 0);
    EXPECT_EQ(none.patternRequests, 2);
    EXPECT_TRUE(none.outcomes.empty());

    ScenarioManager some({Scenario("empty")});
    some.Load();
    some.Load();
    EXPECT_EQ(some.patternRequests, 1);
}

TEST_F(PluginManagerTest, LoadDllWithAMissingFileFails)
{
    ScenarioManager manager;
    EXPECT_EQ(manager.LoadDLL(Scenario("zero") + "missing.tst"), PluginManager::LoadLibraryFailed);
    EXPECT_THAT(manager.GetLastLoadError(), ::testing::HasSubstr("missing.tst"));
}

// --- files that must not reach the loader -----------------------------------------

TEST_F(PluginManagerTest, ModuleCutShortIsRefusedBeforeTheLoaderMapsIt)
{
    // Cut inside its segments (sections on Windows), the loader would map
    // pages past the end of the file and fault on them.
    const std::string module = ReadFile(Scenario("version") + "v110.tst");
    ASSERT_GT(module.size(), 16384u);
    const std::string folder = MadeFolder("cut");
    struct Row {
        const char* file;
        size_t length;
        const char* reason;
    };
    const Row rows[] = {
        {"empty.tst", 0, "too short"},
        {"ident.tst", 16, "too short"},
        {"header.tst", 64, "past the end of the file"},
        {"page.tst", 8192, "runs past the end of the file"},
    };
    for (const Row& row : rows)
        WriteFile(folder + row.file, module.substr(0, row.length));

    ScenarioManager manager({folder});
    manager.Load();
    EXPECT_EQ(manager.outcomes.size(), std::size(rows));
    for (const Row& row : rows) {
        EXPECT_EQ(manager.ErrorFor(folder + row.file), PluginManager::LoadLibraryFailed) << row.file;
        const auto line = std::find_if(debugLines.begin(), debugLines.end(), [&](const std::string& text) {
            return text.find(folder + row.file) != std::string::npos;
        });
        ASSERT_NE(line, debugLines.end()) << row.file;
        EXPECT_THAT(*line, StartsWith("Failed to load module: ")) << row.file;
        EXPECT_THAT(*line, HasSubstr(row.reason)) << row.file;
    }
    EXPECT_TRUE(manager.RegisteredNames().empty());
    EXPECT_TRUE(Calls().empty());
}

TEST_F(PluginManagerTest, ModuleClaimingFourBillionPluginsIsAskedForABoundedNumber)
{
    const std::string file = Scenario("claims") + "claims.tst";
    ScenarioManager manager({Scenario("claims")});
    manager.Load();
    ASSERT_EQ(manager.outcomes.size(), 1u);
    EXPECT_EQ(manager.outcomes[0].error, PluginManager::NoError);
    EXPECT_THAT(manager.RegisteredNames(), ElementsAre("c1", "c2"));
    EXPECT_THAT(debugLines,
                Contains("Module offers 4294967295 plugins; asking for the first 65536 only: " + file + "\n"));
}

#ifndef _WIN32
TEST_F(PluginManagerTest, OnlyRegularFilesReachTheLoader)
{
    // Opening a FIFO waits for a writer: without the check the load would
    // hang, so the alarm ends the test instead.
    const std::string folder = MadeFolder("special");
    const std::string good = Scenario("version") + "v110.tst";
    ASSERT_EQ(::mkfifo((folder + "fifo.tst").c_str(), 0644), 0);
    ASSERT_EQ(::symlink((folder + "fifo.tst").c_str(), (folder + "to-fifo.tst").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", (folder + "null.tst").c_str()), 0);
    ASSERT_EQ(::symlink(good.c_str(), (folder + "link.tst").c_str()), 0);

    struct Row {
        const char* file;
        PluginManager::Error error;
        const char* reason;
    };
    const Row rows[] = {
        {"fifo.tst", PluginManager::LoadLibraryFailed, "not a regular file (a FIFO)"},
        {"to-fifo.tst", PluginManager::LoadLibraryFailed, "not a regular file (a FIFO)"},
        {"null.tst", PluginManager::LoadLibraryFailed, "not a regular file (a character device)"},
        {"link.tst", PluginManager::NoError, nullptr},  // a link to a module is followed
    };
    ::alarm(60);
    ScenarioManager manager({folder});
    manager.Load();
    ::alarm(0);
    for (const Row& row : rows) {
        EXPECT_EQ(manager.ErrorFor(folder + row.file), row.error) << row.file;
        if (row.reason != nullptr) {
            EXPECT_THAT(debugLines, Contains("Failed to load module: " + std::string(row.reason) + ": " + folder +
                                             row.file + "\n"))
                << row.file;
        }
    }
    EXPECT_THAT(manager.RegisteredNames(), ElementsAre("v110"));
}

TEST_F(PluginManagerTest, ControlCharactersInAFileNameCannotForgeDebugLines)
{
    const std::string folder = MadeFolder("names");
    const std::string name = "evil\nRegistered plugin: forged\x1b[2J.tst";
    WriteFile(folder + name, "not a module\n");
    ScenarioManager manager({folder});
    manager.Load();
    ASSERT_EQ(manager.outcomes.size(), 1u);
    // The hook still gets the real name.
    EXPECT_EQ(manager.outcomes[0].path, folder + name);
    EXPECT_EQ(manager.outcomes[0].error, PluginManager::LoadLibraryFailed);
    ASSERT_EQ(debugLines.size(), 1u);
    EXPECT_THAT(debugLines[0], StartsWith("Failed to load module: "));
    EXPECT_THAT(debugLines[0], HasSubstr(folder + "evil\\nRegistered plugin: forged\\x1b[2J.tst"));
    EXPECT_EQ(std::count(debugLines[0].begin(), debugLines[0].end(), '\n'), 1) << debugLines[0];
    EXPECT_EQ(debugLines[0].back(), '\n');
}

// Reads the debugger lines that `search` produces in a child process, so
// that the child may give up root for good.
std::string DebugLinesOfChild(const std::function<void()>& search)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::vector<std::string> lines;
        UlmoraSetDebugOutputHandler(CollectDebugLine, &lines);
        search();
        std::string all;
        for (const std::string& line : lines)
            all += line;
        const ssize_t written = ::write(pipeEnds[1], all.data(), all.size());
        ::_exit(written == static_cast<ssize_t>(all.size()) ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string all;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        all.append(buffer, static_cast<size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return all;
}

TEST_F(PluginManagerTest, FolderThatCannotBeReadIsReportedWithItsPath)
{
    char made[] = "/tmp/ulmora-unreadable-XXXXXX";
    ASSERT_NE(::mkdtemp(made), nullptr);
    const std::string folder = std::string(made) + "/";
    WriteFile(folder + "missed.tst", ReadFile(Scenario("version") + "v110.tst"));
    uid_t user = 0;
    gid_t group = 0;
    if (::geteuid() == 0) {
        // Root reads every folder: the search runs as nobody instead.
        const struct passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) {
            std::system(("rm -rf " + folder).c_str());
            GTEST_SKIP() << "no user nobody to search as";
        }
        user = nobody->pw_uid;
        group = nobody->pw_gid;
    }
    ASSERT_EQ(::chmod(made, 0), 0);
    const std::string lines = DebugLinesOfChild([&] {
        if (user != 0 && (::setgid(group) != 0 || ::setuid(user) != 0))
            ::_exit(2);
        ScenarioManager manager({folder});
        manager.Load();
    });
    ::chmod(made, 0700);
    std::system(("rm -rf " + folder).c_str());
    EXPECT_EQ(lines, "Failed to search folder: Permission denied: " + folder + "\nUnloading plugins...\n");
}

TEST_F(PluginManagerTest, FolderBeyondThePathLimitIsReportedWithItsPath)
{
    char made[] = "/tmp/ulmora-deep-XXXXXX";
    ASSERT_NE(::mkdtemp(made), nullptr);
    // Made one level at a time from open folders: the full path soon
    // exceeds what path-taking calls accept.
    const std::string level(200, 'd');
    int at = ::open(made, O_RDONLY | O_DIRECTORY);
    ASSERT_GE(at, 0);
    size_t length = std::string(made).size();
    while (length < 4200 && at >= 0) {
        ASSERT_EQ(::mkdirat(at, level.c_str(), 0755), 0);
        const int next = ::openat(at, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(at);
        at = next;
        length += level.size() + 1;
    }
    ASSERT_GE(at, 0);
    ::close(at);

    ScenarioManager manager({made});
    manager.Load();
    std::system((std::string("rm -rf ") + made).c_str());
    ASSERT_EQ(debugLines.size(), 1u);
    EXPECT_THAT(debugLines[0], StartsWith("Failed to search folder: File name too long: " + std::string(made) + "/" +
                                          level + "/"));
    EXPECT_GT(debugLines[0].size(), 4096u);
}
#endif

// --- unloading -------------------------------------------------------------------

TEST_F(PluginManagerTest, UnloadReleasesDescriptorsThenShutsDownModulesInLoadOrder)
{
    const std::string folder = Scenario("static");
    std::vector<std::string> loadOrder;
    {
        ScenarioManager manager({folder});
        manager.Load();
        ASSERT_EQ(manager.KeptModules(), 2u);
        loadOrder = manager.OfferedPaths();
        debugLines.clear();
        FixtureClearEvents();
    }
    ASSERT_EQ(loadOrder.size(), 2u);
    EXPECT_THAT(debugLines, ElementsAre("Unloading plugins...\n", "Releasing " + loadOrder[0] + ".\n",
                                        "Releasing " + loadOrder[1] + ".\n"));
    // Each interface is a static object of its module: its notice arrives
    // while the module unloads, and the next module is released normally.
    const bool aFirst = loadOrder[0] == folder + "a.tst";
    const std::vector<std::string> a = {"a:shutdown", "a:destroy-interface"};
    const std::vector<std::string> b = {"b:shutdown", "b:destroy-interface"};
    std::vector<std::string> expected = aFirst ? std::vector<std::string>{"a:release:a1", "b:release:b1"}
                                               : std::vector<std::string>{"b:release:b1", "a:release:a1"};
    for (const auto& part : aFirst ? std::vector<std::vector<std::string>>{a, b}
                                   : std::vector<std::vector<std::string>>{b, a})
        expected.insert(expected.end(), part.begin(), part.end());
    EXPECT_THAT(Events(), ElementsAreArray(expected));
}

TEST_F(PluginManagerTest, ModuleThatThrowsWhileOfferingPluginsIsStillReleasedAndUnloaded)
{
    const std::string file = Scenario("throwing") + "throwing.tst";
    {
        ScenarioManager manager({Scenario("throwing")});
        EXPECT_THROW(manager.Load(), std::runtime_error);
        EXPECT_THAT(manager.RegisteredNames(), ElementsAre("t0"));
        debugLines.clear();
        FixtureClearEvents();
    }
    EXPECT_THAT(debugLines, ElementsAre("Unloading plugins...\n", "Releasing " + file + ".\n"));
    EXPECT_THAT(Events(), ElementsAre("throwing:release:t0", "throwing:shutdown", "throwing:destroy-interface"));
}

TEST_F(PluginManagerTest, DescriptorDestroyedByItsModuleIsForgottenAndNeverReleased)
{
    {
        ScenarioManager manager({Scenario("selfdestruct")});
        manager.Load();
        EXPECT_THAT(manager.RegisteredNames(), ElementsAre("s0", "s1", "s2"));
        PluginIterator* found = manager.FindPlugin(PluginID(50));
        ASSERT_NE(found, nullptr);
        found->Current()->CreateInstance();  // this descriptor deletes itself
        manager.ReleaseIterator(found);
        EXPECT_THAT(manager.RegisteredNames(), ElementsAre("s2", "s1"))
            << "the last entry takes the freed place";
        EXPECT_FALSE(manager.IsRegistered(PluginID(50)));
        PluginIterator* moved = manager.FindPlugin(PluginID(52));
        ASSERT_NE(moved, nullptr);
        EXPECT_STREQ(moved->Current()->GetName(), "s2");
        manager.ReleaseIterator(moved);
        FixtureClearEvents();
    }
    EXPECT_THAT(Events(), ElementsAre("sd:release:s2", "sd:release:s1", "sd:shutdown", "sd:destroy-interface"));
}

// A test manager over a scenario folder, for what it adds to the base.
class ScenarioTestManager : public Ulmora::TestManager {
public:
    explicit ScenarioTestManager(std::string folder) : m_Folder(std::move(folder)) {}

protected:
    void GetSearchPatterns(SearchPatternList& patterns) override
    {
        patterns.push_back(SearchPattern(m_Folder, "*.tst", true));
    }

private:
    std::string m_Folder;
};

TEST_F(PluginManagerTest, TestDestroyedByItsModuleLeavesTheRunList)
{
    {
        ScenarioTestManager manager(Scenario("selfdestruct"));
        manager.LoadTests();
        EXPECT_EQ(manager.GetNumTests(), 3);
        // Each descriptor of this module destroys itself when asked for an
        // instance, so the run shortens the list under its own feet.
        manager.RunTests(nullptr);
        EXPECT_EQ(manager.GetNumTests(), 0);
        EXPECT_EQ(manager.GetNumTestCompleted(), 0);
        FixtureClearEvents();
    }
    EXPECT_THAT(Events(), ElementsAre("sd:shutdown", "sd:destroy-interface"));
}

class CycleProbe : public ScenarioTestManager {
public:
    CycleProbe() : ScenarioTestManager(Scenario("empty")) {}
    using Ulmora::TestManager::FindCycleDependency;
};

TEST_F(PluginManagerTest, CycleSearchEndsOnCyclesElsewhereAndOnMissingTests)
{
    // P needs Q and 99 (not registered); Q and R need each other; S needs itself.
    UlmoraTest::InMemoryTestDescriptor p(1, {2, 99}), q(2, {3}), r(3, {2}), s(4, {4});
    CycleProbe manager;
    for (UlmoraTest::InMemoryTestDescriptor* test : {&p, &q, &r, &s})
        manager.RegisterPlugin(test);
    struct Row {
        uint32_t test;
        uint32_t dependency;
        bool cycle;
    };
    const Row rows[] = {{1, 2, false}, {2, 3, true}, {3, 2, true}, {4, 4, true}, {1, 99, false}, {2, 1, true}, {4, 1, false}};
    for (const Row& row : rows) {
        EXPECT_EQ(manager.FindCycleDependency(PluginID(row.test), PluginID(row.dependency)), row.cycle)
            << row.test << " -> " << row.dependency;
    }
}

// --- the registry, with descriptors of this executable --------------------------

class LocalDescriptor : public IPluginDescriptor {
public:
    LocalDescriptor(const char* name, uint32_t id, std::vector<std::string>* log = nullptr)
        : m_Name(name), m_ID(id), m_Log(log)
    {
    }
    IPluginInstance* CreateInstance() override { return nullptr; }
    void DestroyInstance(IPluginInstance*) override {}
    void Release() override
    {
        if (m_Log != nullptr)
            m_Log->push_back(std::string("release:") + m_Name);
    }
    const char* GetName() override { return m_Name; }
    PluginID GetPluginID() override { return PluginID(m_ID); }
    int32_t GetVersion() override { return 1; }

private:
    const char* m_Name;
    uint32_t m_ID;
    std::vector<std::string>* m_Log;
};

TEST_F(PluginManagerTest, SecondDescriptorWithTheSameNumberIsRefused)
{
    LocalDescriptor seven("seven", 7), eight("eight", 8), again("again", 7);
    ScenarioManager manager;
    EXPECT_FALSE(manager.RegisterPlugin(nullptr));
    EXPECT_TRUE(manager.RegisterPlugin(&seven));
    EXPECT_TRUE(manager.RegisterPlugin(&eight));
    EXPECT_FALSE(manager.RegisterPlugin(&again));
    EXPECT_THAT(debugLines,
                ElementsAre("Registered plugin: seven\n", "Registered plugin: eight\n",
                            "Failed to register plugin: again(A plugin with the same PluginID is already "
                            "registered.)\n"));
    EXPECT_TRUE(manager.IsRegistered(PluginID(7)));
    EXPECT_FALSE(manager.IsRegistered(PluginID(9)));
    EXPECT_EQ(manager.FindPlugin(PluginID(9)), nullptr);
    manager.ReleaseIterator(nullptr);
}

TEST_F(PluginManagerTest, DestroyedDescriptorIsReplacedByTheLast)
{
    struct Row {
        int destroyed;
        std::vector<std::string> left;
    };
    const Row rows[] = {
        {1, {"first", "fourth", "third"}},
        {3, {"first", "second", "third"}},
        {0, {"fourth", "second", "third"}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> released;
        auto manager = std::make_unique<ScenarioManager>();
        std::vector<std::unique_ptr<LocalDescriptor>> descriptors;
        const char* names[] = {"first", "second", "third", "fourth"};
        for (uint32_t i = 0; i < 4; ++i) {
            descriptors.push_back(std::make_unique<LocalDescriptor>(names[i], 100 + i, &released));
            manager->RegisterPlugin(descriptors.back().get());
        }
        descriptors[row.destroyed].reset();
        EXPECT_EQ(manager->RegisteredNames(), row.left) << "destroyed " << row.destroyed;
        // The identifier index follows the moves.
        for (uint32_t i = 0; i < 4; ++i) {
            PluginIterator* found = manager->FindPlugin(PluginID(100 + i));
            EXPECT_EQ(manager->IsRegistered(PluginID(100 + i)), found != nullptr);
            if (static_cast<int>(i) == row.destroyed) {
                EXPECT_EQ(found, nullptr);
            } else {
                ASSERT_NE(found, nullptr) << names[i];
                EXPECT_STREQ(found->Current()->GetName(), names[i]);
            }
            manager->ReleaseIterator(found);
        }
        manager.reset();
        EXPECT_EQ(released.size(), 3u) << "the destroyed one is never released";
    }
}

TEST_F(PluginManagerTest, IterationFollowsTheReorderedList)
{
    ScenarioManager manager;
    auto a = std::make_unique<LocalDescriptor>("a", 1);
    auto b = std::make_unique<LocalDescriptor>("b", 2);
    auto c = std::make_unique<LocalDescriptor>("c", 3);
    auto d = std::make_unique<LocalDescriptor>("d", 4);
    for (LocalDescriptor* x : {a.get(), b.get(), c.get(), d.get()})
        manager.RegisterPlugin(x);
    PluginIterator* iterator = manager.CreateIterator();
    EXPECT_EQ(iterator->First(), a.get());
    EXPECT_EQ(iterator->Next(), b.get());
    EXPECT_EQ(iterator->Next(), c.get());
    a.reset();  // d moves to position 0, already passed
    EXPECT_EQ(iterator->Next(), nullptr);
    EXPECT_EQ(iterator->Next(), nullptr);
    EXPECT_EQ(iterator->First(), d.get());
    manager.ReleaseIterator(iterator);
}

TEST_F(PluginManagerTest, CopyOfAWatchedDescriptorIsWatchedButRemovesNothing)
{
    ScenarioManager manager;
    LocalDescriptor original("original", 5);
    manager.RegisterPlugin(&original);
    {
        LocalDescriptor copy(original);
    }
    EXPECT_THAT(manager.RegisteredNames(), ElementsAre("original"));
}

TEST_F(PluginManagerTest, DebugOutputHandlerCanBeRemoved)
{
    UlmoraSetDebugOutputHandler(nullptr, &debugLines);
    LocalDescriptor quiet("quiet", 1);
    ScenarioManager manager;
    manager.RegisterPlugin(&quiet);
    EXPECT_TRUE(debugLines.empty());
}

// --- the application's list of plug-ins ----------------------------------------

class InterpreterDescriptor : public Ulmora::IInterpreterDescriptor {
public:
    InterpreterDescriptor(const char* name, uint32_t id, int32_t version) : m_Name(name), m_ID(id), m_Version(version)
    {
    }
    IPluginInstance* CreateInstance() override { return nullptr; }
    void DestroyInstance(IPluginInstance*) override {}
    void Release() override { ++releases; }
    const char* GetName() override { return m_Name; }
    PluginID GetPluginID() override { return PluginID(m_ID); }
    int32_t GetVersion() override { return m_Version; }
    int releases = 0;

private:
    const char* m_Name;
    uint32_t m_ID;
    int32_t m_Version;
};

TEST_F(PluginManagerTest, ApplicationListsHostRegisteredInterpreters)
{
    InterpreterDescriptor judge("I", 1, 2), other("Second", 2, -3), clash("Clash", 1, 9);
    Ulmora::IApplication* application = nullptr;
    CreateApplication(&application);
    application->RegisterInterpreter(&judge);
    application->RegisterInterpreter(&judge);
    application->RegisterInterpreter(nullptr);
    application->RegisterInterpreter(&other);
    application->RegisterInterpreter(&clash);
    EXPECT_EQ(application->GetLoadedPluginsInfo(), "I , V.2\r\nSecond , V.-3\r\n");
    ReleaseApplication(&application);
    EXPECT_EQ(judge.releases, 1);
    EXPECT_EQ(other.releases, 1);
    EXPECT_EQ(clash.releases, 0);
    EXPECT_EQ(std::count(debugLines.begin(), debugLines.end(),
                         "Failed to register plugin: I(A plugin with the same PluginID is already registered.)\n"),
              1);
}

} // namespace
