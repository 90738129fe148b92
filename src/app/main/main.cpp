// wardrobix: the program block.
#include <cstdio>
#include <string>
#include <vector>

#include "app/commandline.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const wbx::TCommandLine commandLine = wbx::ParseCommandLine(arguments);
    if (!commandLine.Error.empty()) {
        std::fprintf(stderr, "wardrobix: %s\n%s", commandLine.Error.c_str(),
                     wbx::UsageText("wardrobix").c_str());
        return wbx::kExitUsage;
    }
    if (commandLine.Help) {
        std::fputs(wbx::UsageText("wardrobix").c_str(), stdout);
        return wbx::kExitOk;
    }
    if (commandLine.Version) {
        std::fputs(wbx::VersionText().c_str(), stdout);
        return wbx::kExitOk;
    }
    return wbx::kExitOk;
}
