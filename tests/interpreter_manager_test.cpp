// The interpretation pass, the saving pass and the interpreters' parameter
// lists, driven through the application with interpreters the host registers
// itself.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/RecordingLogOutput.h"
#include "ulmora/Ulmora.h"

namespace {

using testing::ElementsAre;

using Line = UlmoraTest::LogLine;
using RecordingOutput = UlmoraTest::RecordingLogOutput;

std::vector<std::string>* g_Events = nullptr;

void Record(const std::string& event)
{
    if (g_Events != nullptr)
        g_Events->push_back(event);
}

struct Behaviour {
    uint32_t answer = 0;
    ParameterList* list = nullptr;
    bool interpretThrows = false;
    bool saveThrows = false;
};

class FakeInterpreter : public Ulmora::IInterpreter {
public:
    FakeInterpreter(const std::string& name, int serial, const Behaviour& behaviour)
        : m_Tag(name + "#" + std::to_string(serial)), m_Behaviour(behaviour)
    {
    }
    ParameterList* GetParameterList() override
    {
        Record("list " + m_Tag);
        return m_Behaviour.list;
    }
    uint32_t Interpret(const Ulmora::IResultDatabase* database) override
    {
        Record("interpret " + m_Tag);
        if (m_Behaviour.interpretThrows)
            database->GetUInt32("missing.key", 0);  // raises ResultNotFoundException
        return m_Behaviour.answer;
    }
    void SaveResults() override
    {
        Record("save " + m_Tag);
        if (m_Behaviour.saveThrows)
            throw Ulmora::UlmoraFailedException("save failed");
    }
    const std::string& Tag() const { return m_Tag; }

private:
    std::string m_Tag;
    Behaviour m_Behaviour;
};

class FakeDescriptor : public Ulmora::IInterpreterDescriptor {
public:
    FakeDescriptor(const char* name, uint32_t id, int32_t version, const Behaviour& behaviour = Behaviour())
        : m_Name(name), m_ID(id), m_Version(version), m_Behaviour(behaviour)
    {
    }
    PluginManagerAPI::IPluginInstance* CreateInstance() override
    {
        auto* instance = new FakeInterpreter(m_Name, ++m_Serial, m_Behaviour);
        Record("create " + instance->Tag());
        ++m_Live;
        return instance;
    }
    void DestroyInstance(PluginManagerAPI::IPluginInstance* instance) override
    {
        auto* interpreter = static_cast<FakeInterpreter*>(instance);
        Record("destroy " + interpreter->Tag());
        --m_Live;
        delete interpreter;
    }
    void Release() override
    {
        Record("release " + m_Name);
        ++releases;
    }
    const char* GetName() override { return m_Name.c_str(); }
    PluginManagerAPI::PluginID GetPluginID() override { return PluginManagerAPI::PluginID(m_ID); }
    int32_t GetVersion() override { return m_Version; }

    int releases = 0;
    int LiveInstances() const { return m_Live; }

private:
    std::string m_Name;
    uint32_t m_ID;
    int32_t m_Version;
    Behaviour m_Behaviour;
    int m_Serial = 0;
    int m_Live = 0;
};

class InterpreterPass : public testing::Test {
protected:
    void SetUp() override
    {
        g_Events = &events;
        CreateApplication(&app);
        app->AddLogOutput(&log);
    }
    void TearDown() override
    {
        ReleaseApplication(&app);
        g_Events = nullptr;
    }
    std::vector<std::string> events;
    RecordingOutput log;
    Ulmora::IApplication* app = nullptr;
};

TEST_F(InterpreterPass, RunsInRegistryOrderUntilTheFirstNonZeroAnswer)
{
    FakeDescriptor a("A", 4, 1, Behaviour{0}), b("Summary", 9, 2, Behaviour{7}), c("C", 1, 3, Behaviour{5});
    app->RegisterInterpreter(&a);
    app->RegisterInterpreter(&b);
    app->RegisterInterpreter(&c);

    EXPECT_EQ(app->Run(), 7u);
    EXPECT_THAT(events, ElementsAre("create A#1", "interpret A#1", "list A#1", "destroy A#1", "create Summary#1",
                                    "interpret Summary#1", "list Summary#1", "destroy Summary#1"));
    // The interpreter that ends the pass still gets its success line.
    EXPECT_THAT(log.TextsOf("Ulmora::InterpreterManager"),
                ElementsAre("Interpreter(ID=4 Name=A Version=1) ran with success.",
                            "Interpreter(ID=9 Name=Summary Version=2) ran with success."));
    for (const Line& line : log.lines) {
        if (line.module == "Ulmora::InterpreterManager") {
            EXPECT_EQ(line.level, 4);
        }
    }
}

TEST_F(InterpreterPass, NoInterpretersAnswerZeroAndAddNothing)
{
    EXPECT_EQ(app->Run(), 0u);
    EXPECT_EQ(app->GetParameterList()->GetNumParameters(), 0u);
    EXPECT_TRUE(log.TextsOf("Ulmora::InterpreterManager").empty());
}

TEST_F(InterpreterPass, ListIdentifiersCountSuppliersFromZeroInEveryRun)
{
    ParameterList own;
    own.SetName("second's settings");
    FakeDescriptor first("First", 1, 1), second("Second", 2, 1, Behaviour{0, &own});
    app->RegisterInterpreter(&first);
    app->RegisterInterpreter(&second);
    ParameterList* gathered = app->GetParameterList();

    EXPECT_EQ(app->Run(), 0u);
    ASSERT_EQ(gathered->GetNumParameters(), 1u);
    EXPECT_EQ(gathered->GetParameter(0)->GetParameterID(), 0u);

    // A second run offers the same list again, again under identifier 0.
    EXPECT_EQ(app->Run(), 0u);
    ASSERT_EQ(gathered->GetNumParameters(), 2u);
    for (uint32_t i = 0; i < 2; ++i) {
        Parameter* parameter = gathered->GetParameter(static_cast<int32_t>(i));
        ASSERT_EQ(parameter->Type(), TypeParameterList) << "entry " << i;
        EXPECT_EQ(parameter->GetParameterID(), 0u) << "entry " << i;
        ParameterList* held = nullptr;
        static_cast<ParameterParameterList*>(parameter)->GetValue(held);
        EXPECT_EQ(held, &own) << "entry " << i << ": the list is kept by pointer, not copied";
    }
    EXPECT_EQ(app->GetParameterList(), gathered);
}

TEST_F(InterpreterPass, SavingUsesFreshInstancesOfEveryInterpreter)
{
    FakeDescriptor a("A", 1, 1, Behaviour{3}), b("B", 2, 1);
    app->RegisterInterpreter(&a);
    app->RegisterInterpreter(&b);
    app->Run();  // only A interprets: it answers 3
    events.clear();

    app->Save();
    EXPECT_THAT(events, ElementsAre("create A#2", "save A#2", "destroy A#2", "create B#1", "save B#1", "destroy B#1"));
}

TEST_F(InterpreterPass, AnInstanceIsHandedBackWhenItsInterpreterThrows)
{
    FakeDescriptor throwing("T", 1, 1, Behaviour{0, nullptr, true, true}), later("L", 2, 1);
    app->RegisterInterpreter(&throwing);
    app->RegisterInterpreter(&later);

    try {
        app->Run();
        FAIL() << "the run should fail";
    } catch (const Ulmora::UlmoraFailedException& error) {
        EXPECT_STREQ(error.GetErrorMsg(), "Result not found : missing.key");
    }
    EXPECT_THAT(events, ElementsAre("create T#1", "interpret T#1", "destroy T#1"));
    EXPECT_EQ(throwing.LiveInstances(), 0);
    EXPECT_TRUE(log.TextsOf("Ulmora::InterpreterManager").empty());
    EXPECT_EQ(app->GetParameterList()->GetNumParameters(), 0u);

    // The three lines of a result error that escaped an interpreter.
    std::vector<Line> application;
    for (const Line& line : log.lines) {
        if (line.module == "Ulmora::Application")
            application.push_back(line);
    }
    ASSERT_GE(application.size(), 3u);
    const size_t n = application.size();
    EXPECT_EQ(application[n - 3].level, 2);
    EXPECT_EQ(application[n - 3].text, "This exception should have been caught in the interpreter!");
    EXPECT_EQ(application[n - 2].level, 1);
    EXPECT_EQ(application[n - 2].text, "Ulmora failed!");
    EXPECT_EQ(application[n - 1].level, 1);
    EXPECT_EQ(application[n - 1].text, "Result not found : missing.key");

    events.clear();
    EXPECT_THROW(app->Save(), Ulmora::UlmoraFailedException);
    EXPECT_THAT(events, ElementsAre("create T#2", "save T#2", "destroy T#2"));
    EXPECT_EQ(throwing.LiveInstances(), 0);
}

void CollectDebugLine(const char* text, void* context)
{
    static_cast<std::vector<std::string>*>(context)->push_back(text);
}

TEST(InterpreterRegistration, HostDescriptorsAreRegisteredOnceListedAndReleased)
{
    std::vector<std::string> debug;
    UlmoraSetDebugOutputHandler(&CollectDebugLine, &debug);
    std::vector<std::string> events;
    g_Events = &events;
    FakeDescriptor interpreter("I", 3, 2);
    {
        Ulmora::IApplication* app = nullptr;
        CreateApplication(&app);
        app->RegisterInterpreter(&interpreter);
        app->RegisterInterpreter(&interpreter);
        app->RegisterInterpreter(nullptr);
        EXPECT_EQ(app->GetLoadedPluginsInfo(), "I , V.2\r\n");
        ReleaseApplication(&app);
    }
    g_Events = nullptr;
    UlmoraSetDebugOutputHandler(nullptr, nullptr);

    EXPECT_EQ(interpreter.releases, 1);
    EXPECT_THAT(debug, ElementsAre("Registered plugin: I\n",
                                   "Failed to register plugin: I(A plugin with the same PluginID is already registered.)\n",
                                   "Unloading plugins...\n", "Unloading plugins...\n"));
}

} // namespace
