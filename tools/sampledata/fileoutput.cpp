#include "sampledata/fileoutput.h"

#include <filesystem>
#include <system_error>

#include "base/filestream.h"
#include "base/path.h"

namespace wbx::sampledata {

void ForceDirectories(const std::string& path) {
    if (path.empty() || DirectoryExists(path)) return;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path), error);
    if (error || !DirectoryExists(path)) {
        throw EFCreateError("Cannot create directory \"" + path + "\". " +
                            (error ? error.message() : std::string("A file of that name exists.")));
    }
}

void WriteFileBytes(const std::string& fileName, std::span<const uint8_t> bytes) {
    ForceDirectories(ExtractFilePath(fileName));
    TFileStream file(fileName, fmCreate);
    file.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

}  // namespace wbx::sampledata
