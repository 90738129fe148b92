// Fuzz target for the sample-data generator's command line: the bytes split
// at NUL into arguments, parsed. Checks: a line that is accepted names one
// folder and values within the documented ranges, and its values written back
// as a command line read the same; a refused one says why or asks for the
// usage. A crash
// or a sanitizer report is a finding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzzarguments.h"
#include "sampledata/generatorargs.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

wbx::sampledata::GeneratorArgs Parse(const std::vector<std::string>& words) {
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    return wbx::sampledata::ParseGeneratorArgs(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using wbx::sampledata::GeneratorCommand;
    if (size > 4096) return 0;
    const std::vector<std::string> words = wbx::testing::FuzzArguments(data, size, "wardrobix-sample-data");
    const wbx::sampledata::GeneratorArgs args = Parse(words);
    switch (args.Command) {
        case GeneratorCommand::Help:
            return 0;
        case GeneratorCommand::Refused:
            Check(!args.Error.empty() || args.ShowUsageOnError);
            return 0;
        case GeneratorCommand::Generate:
            break;
    }
    Check(!args.Folder.empty() && args.Folder[0] != '-');
    Check(args.Options.ItemsPerList == 0 ||
          (args.Options.ItemsPerList >= 1 && args.Options.ItemsPerList <= wbx::sampledata::kMaxItemsPerList));
    // The values written back as a command line read the same.
    std::vector<std::string> written{words[0], "--seed", std::to_string(args.Options.Seed)};
    if (args.Options.ItemsPerList != 0) {
        written.push_back("--items");
        written.push_back(std::to_string(args.Options.ItemsPerList));
    }
    written.push_back(args.Folder);
    const wbx::sampledata::GeneratorArgs again = Parse(written);
    Check(again.Command == GeneratorCommand::Generate && again.Folder == args.Folder &&
          again.Options.Seed == args.Options.Seed && again.Options.ItemsPerList == args.Options.ItemsPerList);
    return 0;
}
