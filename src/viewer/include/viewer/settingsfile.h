#pragma once
// Where the viewer keeps its settings file: beside the executable, named after
// it with the extension ".ini" (the Linux executable "wardrobix" has none, so
// "wardrobix.ini"). An installed viewer (base/installation.h), or one whose
// folder cannot be written, keeps it in the user's configuration folder
// instead: $XDG_CONFIG_HOME/wardrobix/wardrobix.ini, with $XDG_CONFIG_HOME
// defaulting to ~/.config.

#include <string>

namespace wbx {

// The settings file of this process.
std::string SettingsFileName();

// The rule itself, for the given executable and environment. besideWritable
// tells whether the file may go beside the executable (KeepsFilesBesideProgram);
// xdgConfigHome and home are the environment's values ("" when unset). A
// relative XDG_CONFIG_HOME is ignored, as the XDG rules say.
std::string SettingsFileNameFor(const std::string& executableFileName, bool besideWritable,
                                const std::string& xdgConfigHome, const std::string& home);

}  // namespace wbx
