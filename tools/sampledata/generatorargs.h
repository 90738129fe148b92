#pragma once
// The generator's command line:
//
//   wardrobix-sample-data [--seed N] [--items N] DIR
//
// --seed takes a decimal number from 0 to 2^64 - 1 (a larger one is refused,
// not clamped); --items a number from 1 to kMaxItemsPerList. One folder.

#include <string>

#include "sampledata/datafolder.h"

namespace wbx::sampledata {

enum class GeneratorCommand {
    Generate,  // write the folder
    Help,      // print the usage, exit 0
    Refused,   // print Error (and the usage when asked for), exit 2
};

struct GeneratorArgs {
    GeneratorCommand Command = GeneratorCommand::Refused;
    DataFolderOptions Options;
    std::string Folder;             // Generate: the folder to write
    std::string Error;              // Refused: why, "" when only the usage is to be printed
    bool ShowUsageOnError = false;  // Refused: the usage follows the reason
};

// Reads argv[1] .. argv[argc - 1]; argv[argc] need not be null.
GeneratorArgs ParseGeneratorArgs(int argc, const char* const* argv);

}  // namespace wbx::sampledata
