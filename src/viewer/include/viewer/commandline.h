#pragma once
// The viewer's command line. Without arguments the viewer behaves as it always
// did (settings file, folder prompt, window); the options are additions:
//
//   --data DIR         use DIR as the data folder for this run (not stored)
//   --snapshot FILE    headless: start up, draw one frame, write it as PNG, stop
//   --outfit CODE      start dressed in the outfit of a share code (sharecode.h)
//   --help, -h         print the usage
//   --version          print the version
//
// "--data=DIR", "--snapshot=FILE" and "--outfit=CODE" are accepted too.

#include <optional>
#include <string>
#include <vector>

#include "viewer/outfit.h"

namespace wbx {

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitStartupError = 1;  // an exception during start-up (snapshot mode)
inline constexpr int kExitUsage = 2;         // bad command line, or an unusable --data folder
inline constexpr int kExitMissingModel = 3;  // the first model file is missing (snapshot mode)

struct TCommandLine {
    std::optional<std::string> DataFolder;
    std::optional<std::string> SnapshotFile;
    std::optional<TOutfit> Outfit;  // the --outfit code, read
    bool Help = false;
    bool Version = false;
    std::string Error;      // not empty: the arguments were refused, with this reason
    bool BadValue = false;  // the refusal is about an option's value (one line says it all)
};

// Parses the arguments after the program name.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints (the program name first).
std::string UsageText(const std::string& programName);
// The text --version prints.
std::string VersionText();

}  // namespace wbx
