#pragma once
// Replacing a file so that it is never seen half written: the new contents go
// to a temporary file beside it (same folder, so the rename cannot cross file
// systems), which is flushed to disk and then renamed over the file; the
// folder is flushed too, so the rename survives a crash. The file keeps its
// permissions; a new file gets 0644 less the umask. Missing folders on the
// way are made.

#include <string>
#include <string_view>

namespace wbx {

// Writes contents as fileName. Returns "" when done; otherwise what failed
// and why ("create: Permission denied"), and the file is as it was (no
// temporary file is left behind).
std::string WriteFileAtomically(const std::string& fileName, std::string_view contents);

}  // namespace wbx
