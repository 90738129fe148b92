// Fuzz target for the viewer's command line: the bytes as arguments, each
// ended by a NUL. Checks: the arguments are accepted or refused with a reason;
// an outfit is only given with no refusal of its own, and a refusal about a
// value names the option. A crash or a sanitizer report is a finding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/commandline.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back() += static_cast<char>(data[i]);
    }
    if (arguments.back().empty()) arguments.pop_back();

    const wbx::TCommandLine commandLine = wbx::ParseCommandLine(arguments);
    if (commandLine.BadValue) {
        Check(!commandLine.Error.empty());
        Check(commandLine.Error.rfind("--outfit: ", 0) == 0);
        Check(commandLine.Error.find('\n') == std::string::npos);
        Check(!commandLine.Outfit.has_value());
    }
    if (commandLine.DataFolder) Check(!commandLine.DataFolder->empty() || !commandLine.Error.empty());
    return 0;
}
