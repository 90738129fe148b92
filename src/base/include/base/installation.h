#pragma once
// Whether a program runs from an installation or from its build folder.
//
// `cmake --install` (and the Debian package) puts a marker file into the
// prefix's data folder; a program finds it by a path relative to its own
// folder, so that a prefix moved as a whole is still recognised. A build
// folder holds no marker.
//
// An installed program never writes beside its executable, not even as root
// (a system folder is no place for a settings file): its settings file and
// log live in the user's XDG folders. A program run from its build folder
// keeps them beside the executable while that folder is writable.

#include <string>

namespace wbx {

// The marker's path relative to the folder of the installed programs, e.g.
// "../share/wardrobix/installed".
std::string InstallationMarker();

// True when the marker lies at its place relative to executableFileName's folder.
bool IsInstalledProgram(const std::string& executableFileName);

// Whether the program's own files (settings file, log) go beside
// executableFileName: a known executable, not installed, in a writable folder.
bool KeepsFilesBesideProgram(const std::string& executableFileName);

}  // namespace wbx
