#include "generatedfolder.h"

#include <unistd.h>

#include <filesystem>

#include "sampledata/datafolder.h"

namespace wbx::testing {

std::string FreshDirectory(const std::string& name) {
    // CTest runs every test in a process of its own, several at a time: each
    // process gets its own scratch folder so that none removes another's files.
    const std::filesystem::path path =
        std::filesystem::path(WBX_TEST_BINARY_DIR) / "scratch" / std::to_string(::getpid()) / name;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path.string() + "/";
}

const std::string& GeneratedFolder() {
    static const std::string folder = [] {
        std::string path = FreshDirectory("default-seed");
        sampledata::GenerateDataFolder(path);
        return path;
    }();
    return folder;
}

}  // namespace wbx::testing
