#include "base/path.h"

#include <unistd.h>

#include <vector>

namespace wbx {

std::string IncludeTrailingPathDelimiter(const std::string& path) {
    if (!path.empty() && path.back() == PathDelim) return path;
    return path + PathDelim;
}

std::string ExtractFilePath(const std::string& fileName) {
    const size_t slash = fileName.rfind(PathDelim);
    return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& fileName) {
    const size_t slash = fileName.rfind(PathDelim);
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& ext) {
    const size_t slash = fileName.rfind(PathDelim);
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return fileName + ext;
    return fileName.substr(0, dot) + ext;
}

std::string ExecutableFileName() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return std::string();
    return std::string(buffer.data(), static_cast<size_t>(n));
}

bool IsDirectoryWritable(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace wbx
