#pragma once
// A scratch file for the fuzz targets whose readers take a file name.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace wbx::testing {

// A file of this process (one per target and process, so parallel fuzzing
// jobs do not share it), rewritten per input. It lives in memory (/dev/shm)
// where there is such a folder: the settings writer syncs every file it
// replaces, which on a disk would slow fuzzing down a hundredfold.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& suffix)
        : name_((Folder() / ("wbx_fuzz_" + std::to_string(::getpid()) + suffix)).string()) {}
    ~ScratchFile() { std::remove(name_.c_str()); }

    const std::string& Write(const uint8_t* data, size_t size) {
        std::ofstream out(name_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) __builtin_trap();  // the target itself cannot work
        return name_;
    }
    const std::string& Name() const { return name_; }

private:
    static std::filesystem::path Folder() {
        std::error_code error;
        if (std::filesystem::is_directory("/dev/shm", error)) return "/dev/shm";
        return std::filesystem::temp_directory_path();
    }

    std::string name_;
};

}  // namespace wbx::testing
