#pragma once
// The main window on a generated sample data folder, with its device: what
// the tests and benchmarks of the frame loop, the textures and the model share.

#include <gtest/gtest.h>

#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/umain.h"
#include "d3d9/d3d9.h"
#include "device/texture.h"
#include "qtapplication.h"
#include "sampledata/datafolder.h"
#include "viewer/outfit.h"
#include "viewer/pathresolver.h"
#include "viewerfiles.h"

namespace wbx::testing {

inline constexpr uint32_t kGrey = 0xFF888888;  // the background as QImage reads it

// The texels of level 0 of a composed texture: 256 x 512, two bytes each, rows packed.
inline std::vector<uint8_t> TextureTexels(TKVTexture& texture) {
    std::vector<uint8_t> texels(size_t{256} * 512 * 2);
    D3DLOCKED_RECT locked{};
    if (texture.Texture == nullptr ||
        texture.Texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK) {
        ADD_FAILURE() << "the texture cannot be read";
        return texels;
    }
    for (int row = 0; row < 512; ++row)
        std::memcpy(texels.data() + size_t(row) * 512,
                    static_cast<const uint8_t*>(locked.pBits) + row * locked.Pitch, 512);
    texture.Texture->UnlockRect(0);
    return texels;
}

// Pixels of a frame that are not the background grey.
inline int FigurePixels(const QImage& frame) {
    int count = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) count += frame.pixel(x, y) != kGrey;
    return count;
}

// What the window needs to run without a user: settings in settingsFile, data
// from dataFolder (never stored), a folder prompt that declines, exceptions
// handed to report, Present paced to refreshRate (1e9: no waiting).
inline TFormServices ViewerServices(const std::string& settingsFile, const std::string& dataFolder,
                                    double refreshRate, TExceptionReport report) {
    TFormServices services;
    services.SettingsFileName = settingsFile;
    services.DataFolder = dataFolder;
    services.FolderPrompt = [](const std::string&, std::string&) { return false; };
    services.ExceptionReport = std::move(report);
    services.RefreshRate = refreshRate;
    return services;
}

// Picks item index of a list as the user does (OnSelect follows).
inline void UserSelects(TComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// An outfit other than the start-up one, of the sample data's items.
inline TOutfit DressedOutfit() {
    TOutfit outfit;
    outfit.BodyType = "type2";
    outfit.Items = {"00_10030", "01_11020", "02_12040", "03_13020", "04_14020", "05_15010", "", "", "", ""};
    return outfit;
}

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApplication();
        SessionPathResolver().Clear();
        data = dir / "data/";
        sampledata::GenerateDataFolder(data);
    }

    // Present does not wait in tests; reports are collected.
    TFormServices Services() {
        return ViewerServices(dir / "wardrobix.ini", data, 1e9,
                              [this](const std::string& message) { reports.push_back(message); });
    }

    std::unique_ptr<TForm1> Create() { return std::make_unique<TForm1>(Services()); }

    // One pass of the frame loop; true when it presented a frame.
    static bool Frame(TForm1& form) {
        const uint64_t before = form.PresentedFrameCount();
        bool done = true;
        form.RenderIdle(&form, done);
        EXPECT_FALSE(done);
        return form.PresentedFrameCount() == before + 1;
    }

    TempFolder dir;
    std::string data;
    std::vector<std::string> reports;
};

}  // namespace wbx::testing
