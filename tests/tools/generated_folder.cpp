#include "generated_folder.h"

#include <filesystem>

#include "sampledata/data_folder.h"

namespace wbx::testing {

std::string FreshDirectory(const std::string& name) {
    const std::filesystem::path path = std::filesystem::path(WBX_TEST_BINARY_DIR) / "scratch" / name;
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
