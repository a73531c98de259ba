// ulmora: runs the probe modules (*.tst) and judge modules (*.intr) found
// under this executable's folder and prints every result.
#include <cstdio>
#include <cstring>
#include <string>

#include "ulmora/Ulmora.h"

namespace {

// Exit statuses. A run's answer is passed through, capped below the codes the
// host keeps for itself so a caller can always tell them apart.
const int kExitUsage = 64;
const int kExitLibraryError = 70;
const unsigned kMaxAnswerStatus = 63;

void PrintUsage(std::FILE* out)
{
    std::fputs(
        "usage: ulmora run [--log FILE] [--verbose]\n"
        "       ulmora --help\n"
        "\n"
        "Loads the test modules (*.tst) and interpreter modules (*.intr) found in\n"
        "the folder of this executable and below, runs every test in dependency\n"
        "order, lets the interpreters judge the results and prints every result\n"
        "as one \"key<TAB>value\" line.\n"
        "\n"
        "options:\n"
        "  --log FILE   write the library's log lines to FILE (emptied first)\n"
        "  --verbose    print the plug-in manager's messages to stderr\n"
        "  --help       show this text\n"
        "\n"
        "exit status: the first non-zero interpreter answer (capped at 63), 0 when\n"
        "every interpreter answered 0; 64 for a usage error; 70 when the library\n"
        "reported an error (its message goes to stderr).\n",
        out);
}

struct Options {
    bool run = false;
    bool verbose = false;
    const char* logPath = nullptr;
};

bool ParseArguments(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "run") == 0 && !options->run) {
            options->run = true;
        } else if (std::strcmp(arg, "--verbose") == 0) {
            options->verbose = true;
        } else if (std::strcmp(arg, "--log") == 0 && i + 1 < argc) {
            options->logPath = argv[++i];
        } else {
            std::fprintf(stderr, "ulmora: unexpected argument '%s'\n", arg);
            return false;
        }
    }
    if (!options->run) {
        std::fputs("ulmora: no command given\n", stderr);
        return false;
    }
    return true;
}

// --verbose: the plug-in manager's lines (registrations, unloading) go to
// stderr as they come.
void PrintDebugLine(const char* text, void* context)
{
    std::fputs(text, static_cast<std::FILE*>(context));
}

int Run(const Options& options)
{
    Ulmora::IApplication* application = nullptr;
    int status = 0;
    if (options.verbose)
        UlmoraSetDebugOutputHandler(PrintDebugLine, stderr);
    try {
        CreateApplication(&application);
        if (options.logPath != nullptr)
            application->UseDefaultLogOutput(options.logPath);
        application->LoadTestDLLs();
        application->LoadInterpreterDLLs();
        const unsigned answer = application->Run();
        const std::string output = application->Output();
        std::fwrite(output.data(), 1, output.size(), stdout);
        status = static_cast<int>(answer < kMaxAnswerStatus ? answer : kMaxAnswerStatus);
    } catch (const Ulmora::Exception& error) {
        std::fprintf(stderr, "ulmora: %s\n", error.GetErrorMsg());
        status = kExitLibraryError;
    }
    ReleaseApplication(&application);
    UlmoraSetDebugOutputHandler(nullptr, nullptr);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage(stdout);
            return 0;
        }
    }
    Options options;
    if (!ParseArguments(argc, argv, &options)) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    return Run(options);
}
