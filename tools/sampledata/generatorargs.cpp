#include "sampledata/generatorargs.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace wbx::sampledata {

namespace {

// A decimal number from 0 to 2^64 - 1; anything larger is refused, not clamped.
bool ParseSeed(const std::string& text, uint64_t& seed) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno == ERANGE) return false;
    seed = value;
    return true;
}

bool ParseItems(const std::string& text, int& items) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    items = std::atoi(text.c_str());
    return items >= 1 && items <= kMaxItemsPerList;
}

GeneratorArgs Refused(std::string error, bool showUsage = false) {
    GeneratorArgs args;
    args.Error = std::move(error);
    args.ShowUsageOnError = showUsage;
    return args;
}

}  // namespace

GeneratorArgs ParseGeneratorArgs(int argc, const char* const* argv) {
    GeneratorArgs args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            args.Command = GeneratorCommand::Help;
            return args;
        }
        if (arg == "--seed") {
            if (i + 1 >= argc || !ParseSeed(argv[i + 1], args.Options.Seed))
                return Refused("--seed needs a decimal number");
            ++i;
        } else if (arg == "--items") {
            if (i + 1 >= argc || !ParseItems(argv[i + 1], args.Options.ItemsPerList))
                return Refused("--items needs a number from 1 to " + std::to_string(kMaxItemsPerList));
            ++i;
        } else if (!arg.empty() && arg[0] == '-') {
            return Refused("unknown option " + arg, true);
        } else if (args.Folder.empty()) {
            args.Folder = arg;
        } else {
            return Refused("only one folder may be given");
        }
    }
    if (args.Folder.empty()) return Refused("", true);
    args.Command = GeneratorCommand::Generate;
    return args;
}

}  // namespace wbx::sampledata
