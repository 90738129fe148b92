#include "viewer/commandline.h"

#include "buildinfo.h"
#include "viewer/sharecode.h"

namespace wbx {

namespace {

// Takes the value of an option given as "--name VALUE" or "--name=VALUE".
// Returns false when argument is not that option.
bool OptionValue(const std::vector<std::string>& arguments, size_t& i, const std::string& name,
                 std::optional<std::string>& value, std::string& error) {
    const std::string& argument = arguments[i];
    if (argument == name) {
        if (i + 1 >= arguments.size()) {
            error = name + " needs a value";
            return true;
        }
        value = arguments[++i];
    } else if (argument.compare(0, name.size() + 1, name + "=") == 0) {
        value = argument.substr(name.size() + 1);
    } else {
        return false;
    }
    if (value->empty()) error = name + " needs a value";
    return true;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    TCommandLine result;
    for (size_t i = 0; i < arguments.size() && result.Error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            result.Help = true;
        } else if (argument == "--version") {
            result.Version = true;
        } else if (OptionValue(arguments, i, "--data", result.DataFolder, result.Error) ||
                   OptionValue(arguments, i, "--snapshot", result.SnapshotFile, result.Error)) {
            // taken
        } else if (std::optional<std::string> code;
                   OptionValue(arguments, i, "--outfit", code, result.Error)) {
            if (!result.Error.empty()) continue;
            const TShareCodeResult outfit = DecodeShareCode(*code);
            result.Outfit = outfit.Outfit;
            if (!outfit.Outfit) {
                result.Error = "--outfit: " + outfit.Error;
                result.BadValue = true;
            }
        } else {
            result.Error = "unknown argument \"" + argument + "\"";
        }
    }
    return result;
}

std::string UsageText(const std::string& programName) {
    return "Usage: " + programName +
           " [--data DIR] [--outfit CODE] [--snapshot FILE.png]\n"
           "Shows an avatar figure dressed from an unpacked game data folder.\n"
           "\n"
           "  --data DIR         use DIR as the data folder for this run (the settings keep theirs)\n"
           "  --outfit CODE      start dressed in the outfit of a share code (wbx1:...)\n"
           "  --snapshot FILE    draw one 640 x 480 frame without a window, write it as PNG and exit\n"
           "  --help             show this text\n"
           "  --version          show the version\n"
           "\n"
           "Exit status: 0 done, 1 start-up error, 2 bad arguments, unusable data folder or an\n"
           "outfit the data folder cannot dress (snapshot),\n"
           "3 the first model file is missing (snapshot).\n";
}

std::string VersionText() {
    std::string text = std::string("wardrobix ") + WBX_VERSION;
    const std::string commit = WBX_COMMIT;
    if (!commit.empty()) text += " (commit " + commit + ")";
    return text + "\n";
}

}  // namespace wbx
