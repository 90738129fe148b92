#pragma once
// The main window on a generated sample data folder, with its device: what
// the tests of the frame loop, the textures and the model share.

#include <gtest/gtest.h>

#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/pathresolver.h"
#include "app/umain.h"
#include "app_fixtures.h"
#include "d3d9/d3d9.h"
#include "device/texture.h"
#include "qt_app.h"
#include "sampledata/datafolder.h"

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

// Picks item index of a list as the user does (OnSelect follows).
inline void UserSelects(TComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApplication();
        SessionPathResolver().Clear();
        data = dir / "data/";
        sampledata::GenerateDataFolder(data);
    }

    TFormServices Services() {
        TFormServices services;
        services.SettingsFileName = dir / "wardrobix.ini";
        services.DataFolder = data;
        services.FolderPrompt = [](const std::string&, std::string&) { return false; };
        services.ExceptionReport = [this](const std::string& message) { reports.push_back(message); };
        services.RefreshRate = 1e9;  // Present does not wait in tests
        return services;
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

    TTempDir dir;
    std::string data;
    std::vector<std::string> reports;
};

}  // namespace wbx::testing
