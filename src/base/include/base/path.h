#pragma once
// Path helpers. Paths are UTF-8 strings with the platform's separator ('/').

#include <string>

namespace wbx {

inline constexpr char PathDelim = '/';

// The path with a separator appended unless it already ends in one ("" gives "/").
std::string IncludeTrailingPathDelimiter(const std::string& path);
// Everything up to and including the last separator ("" when there is none).
std::string ExtractFilePath(const std::string& fileName);
// Everything after the last separator.
std::string ExtractFileName(const std::string& fileName);
// The path with its extension (from the last '.' of the file name) replaced by ext.
std::string ChangeFileExt(const std::string& fileName, const std::string& ext);
// Full path of the running executable ("" when it cannot be found).
std::string ExecutableFileName();
// True when the directory exists and the process may create files in it.
bool IsDirectoryWritable(const std::string& path);

}  // namespace wbx
