// Fuzz target for the frame benchmark's command line (shared with its OpenGL
// peer): the bytes split at NUL into arguments, parsed. Checks: a line that
// parses gives values within the documented ranges; one that does not says
// why. A crash or a sanitizer report is a finding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "benchargs.h"
#include "fuzzarguments.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words = wbx::testing::FuzzArguments(data, size, "program");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    wbx::testing::FrameBenchArgs args;
    std::string error;
    if (!wbx::testing::ParseFrameBenchArgs(static_cast<int>(words.size()), argv.data(), args, error)) {
        Check(!error.empty());
        return 0;
    }
    Check(args.Width >= 16 && args.Width <= 8192 && args.Height >= 16 && args.Height <= 8192);
    Check(args.Frames >= 1 && args.Frames <= 100000 && args.Warmup >= 0 && args.Warmup <= 100000);
    Check(args.Yaw >= 0 && args.Yaw <= 4095 && args.Pause >= 0 && args.Pause <= 1000000);
    Check(!args.Threads.empty() && args.Threads.size() <= 16);
    for (const int t : args.Threads) Check(t >= 0 && t <= 64);
    return 0;
}
