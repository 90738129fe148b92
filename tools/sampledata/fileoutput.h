#pragma once
// Writing generated files to disk.

#include <cstdint>
#include <span>
#include <string>

namespace wbx::sampledata {

// Creates the directory and any missing parents. Raises wbx::EFCreateError
// naming the path when it cannot be created (or a file stands in its place).
void ForceDirectories(const std::string& path);

// Writes bytes to fileName, replacing any file of that name and creating
// missing parent directories. Raises wbx::EFCreateError / EWriteError.
void WriteFileBytes(const std::string& fileName, std::span<const uint8_t> bytes);

}  // namespace wbx::sampledata
