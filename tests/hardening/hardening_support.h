#pragma once
// Test support of the hardening suite: a scratch folder, and a device
// component on an in-memory window whose adapter also offers palette (P8)
// textures, brought up silently (no log, no halting) as the viewer does.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/fuzz_support.h"

namespace wbx::hardening {

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::string& tag) {
        path_ = std::filesystem::temp_directory_path() /
                ("wbx_hardening_" + tag + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << name;
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        HaltOnErrorSwitch = false;
        DebugMessageSwitch = false;
        DetailedLogSwitch = false;
        AdapterProfile profile = DefaultAdapterProfile();
        for (DeviceTypeProfile& type : profile.DeviceTypes) type.TextureFormats.push_back(D3DFMT_P8);
        SetDefaultAdapterProfile(profile);
        KV = std::make_unique<TKorvane>(&window_);
        KV->DebugOption = TKVDebugOption{};
        KV->Loaded();
        KV->SetWindowMode(640, 480, DefaultDepthFormats, 0, D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_NONE, 0);
        ASSERT_NE(KV->Device, nullptr);
    }
    void TearDown() override {
        KV.reset();
        ResetDefaultAdapterProfile();
    }

    std::unique_ptr<TKorvane> KV;

private:
    fuzzing::MemoryOwnerWindow window_;
};

}  // namespace wbx::hardening
