// A minimal host, built separately against the installed SDK: creates an
// application, loads whatever modules lie beside it (none), runs, reads the
// results and releases the application. Exit status 0 when all went well.
#include <cstdio>
#include <cstring>
#include <string>

#include <ulmora/Ulmora.h>

namespace {

int failures = 0;

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "consumer: FAILED: %s\n", what);
        ++failures;
    }
}

} // namespace

int main()
{
    Ulmora::IApplication* application = nullptr;
    try {
        Check(CreateApplication(&application) == application, "CreateApplication returns what it stores");
        Check(application != nullptr, "CreateApplication stores an application");
        if (application == nullptr)
            return 1;
        Check(std::strcmp(application->Name(), "Ulmora") == 0, "Name() is \"Ulmora\"");
#ifdef CONSUMER_EXPECTED_VERSION
        Check(application->Version() == CONSUMER_EXPECTED_VERSION, "Version() is the package's version");
#endif
        application->LoadTestDLLs();
        application->LoadInterpreterDLLs();
        Check(application->Run() == 0, "a run without modules answers 0");
        // Strings made by the library are used and freed here: this only
        // works when both sides share one C++ runtime.
        const std::string output = application->Output();
        Check(output.empty(), "a run without modules has no results");
        const std::string plugins = application->GetLoadedPluginsInfo();
        Check(plugins.empty(), "no modules are loaded");
    } catch (const Ulmora::Exception& error) {
        std::fprintf(stderr, "consumer: library error: %s\n", error.GetErrorMsg());
        ++failures;
    }
    ReleaseApplication(&application);
    Check(application == nullptr, "ReleaseApplication leaves null behind");
    if (failures == 0)
        std::puts("consumer: ok");
    return failures == 0 ? 0 : 1;
}
