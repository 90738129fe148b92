#pragma once
// Scratch files for tests: a fresh folder that goes away with everything in
// it, and whole files written and read in one call.

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace wbx::testing {

using Bytes = std::vector<uint8_t>;

// A new, empty folder under the temporary folder, removed with everything in
// it (also what a test made read-only) when the object goes.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "wbx_test_XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern + "/";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Ends in '/'.
    const std::string& Path() const { return path_; }
    // The path of relative inside the folder.
    std::string operator/(const std::string& relative) const { return path_ + relative; }
    std::string File(const std::string& relative) const { return path_ + relative; }

private:
    std::string path_;
};

// Writes bytes as the whole file, making its folders; raises when that fails.
inline void WriteBytes(const std::string& fileName, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(fileName).parent_path());
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + fileName);
}

inline void WriteText(const std::string& fileName, const std::string& text) {
    WriteBytes(fileName, Bytes(text.begin(), text.end()));
}

// The whole file; "" when it cannot be read.
inline std::string ReadText(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace wbx::testing
