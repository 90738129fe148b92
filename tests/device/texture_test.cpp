#include "device/texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "bitmapbuilder.h"
#include "d3d9/devicecontrol.h"
#include "defaultadapter.h"
#include "device/bitmap.h"
#include "device/pixelformat.h"
#include "devicefixture.h"

namespace wbx {
namespace {

using testing::DeviceFixture;
using testing::MakeBitmap;
using testing::SetDefaultAdapterProfile;

class TextureTest : public DeviceFixture {
protected:
    void UseTextureCaps(DWORD caps) {
        AdapterProfile profile = HardwareProfile(true);
        profile.Find(D3DDEVTYPE_HAL)->Caps.TextureCaps |= caps;
        SetDefaultAdapterProfile(profile);
    }
    std::unique_ptr<TKVTexture> MakeTexture(D3DPOOL pool = D3DPOOL_MANAGED,
                                            std::vector<D3DFORMAT> formats = {D3DFMT_A1R5G5B5}) {
        return std::make_unique<TKVTexture>(kv.get(), std::move(formats), 0, pool, 0, "tex");
    }
    // Pixel (x, y) of level 0, read through Direct3D (not through the texture class).
    static uint32_t Pixel(TKVTexture& t, uint32_t x, uint32_t y) {
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(t.Texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t value = 0;
        std::memcpy(&value, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * t.BytesPerPixel,
                    t.BytesPerPixel);
        t.Texture->UnlockRect(0);
        return value;
    }
    static void SetPixel(TKVTexture& t, uint32_t x, uint32_t y, uint32_t value) {
        const D3DLOCKED_RECT locked = t.LockRect(0, nullptr, 0);
        ASSERT_NE(locked.pBits, nullptr);
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * t.BytesPerPixel, &value,
                    t.BytesPerPixel);
        t.UnlockRect();
    }
    static D3DSURFACE_DESC Desc(TKVTexture& t) {
        D3DSURFACE_DESC desc{};
        t.Texture->GetLevelDesc(0, &desc);
        return desc;
    }
};

TEST_F(TextureTest, SizesFollowTheDeviceRules) {
    struct Case {
        DWORD caps;
        uint32_t requestWidth, requestHeight;
        uint32_t width, height;
    };
    const DWORD pow2 = D3DPTEXTURECAPS_POW2;
    const DWORD square = D3DPTEXTURECAPS_SQUAREONLY;
    for (const Case& c : {Case{0, 200, 300, 200, 300}, Case{pow2, 200, 300, 256, 512},
                          Case{pow2 | square, 200, 300, 512, 512}, Case{square, 200, 300, 300, 300},
                          // Powers of two stay as they are; one texel more takes the next.
                          Case{pow2, 256, 512, 256, 512}, Case{pow2, 1, 2, 1, 2},
                          Case{pow2, 257, 513, 512, 1024}, Case{pow2 | square, 256, 512, 512, 512}}) {
        SCOPED_TRACE(::testing::Message() << c.caps << ": " << c.requestWidth << " x " << c.requestHeight);
        UseTextureCaps(c.caps);
        Start();
        auto texture = MakeTexture();
        texture->SetSize(c.requestWidth, c.requestHeight);
        ASSERT_NE(texture->Texture, nullptr);
        EXPECT_EQ(texture->Width, c.requestWidth);
        EXPECT_EQ(texture->Height, c.requestHeight);
        EXPECT_EQ(texture->TextureWidth, c.width);
        EXPECT_EQ(texture->TextureHeight, c.height);
        EXPECT_EQ(Desc(*texture).Width, c.width);
        EXPECT_EQ(Desc(*texture).Height, c.height);
        EXPECT_EQ(texture->Format, D3DFMT_A1R5G5B5);
        EXPECT_EQ(texture->BytesPerPixel, 2u);
        EXPECT_EQ(texture->Source, kvsProgram);
        texture.reset();
        kv.reset();
    }
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(TextureTest, RefusedCandidateFallsBackToTheBackBufferFormat) {
    AdapterProfile profile = HardwareProfile(true);
    auto& formats = profile.Find(D3DDEVTYPE_HAL)->TextureFormats;
    formats.erase(std::remove(formats.begin(), formats.end(), D3DFMT_A1R5G5B5), formats.end());
    SetDefaultAdapterProfile(profile);
    Start();
    auto texture = MakeTexture();
    texture->SetSize(4, 4);
    EXPECT_EQ(texture->Format, kv->BackBufferFormat);
    const auto lines = Trimmed();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "使用されるフォーマットは " + FormatName(kv->BackBufferFormat) + " です"),
              lines.end());
}

TEST_F(TextureTest, SetSizeFillsManagedTexturesWithTheClearColour) {
    Start();
    auto texture = MakeTexture();
    texture->ClearColor = 0xFFFFFFFF;
    texture->SetSize(3, 2);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x) EXPECT_EQ(Pixel(*texture, x, y), 0xFFFFu);
    const auto lines = Trimmed();
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [](const std::string& l) { return l.rfind("残りテクスチャ容量は、約", 0) == 0; }),
              lines.end());
}

TEST_F(TextureTest, FillColorChangesOnlyTheRectangle) {
    Start();
    auto texture = MakeTexture(D3DPOOL_MANAGED, {D3DFMT_A8R8G8B8});
    texture->SetSize(6, 5);
    texture->FillColor(RECT{1, 1, 4, 4}, 0x80112233, false);
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 6; ++x) {
            const bool inside = x >= 1 && x < 4 && y >= 1 && y < 4;
            EXPECT_EQ(Pixel(*texture, x, y), inside ? 0x80112233u : 0u) << x << "," << y;
        }
}

TEST_F(TextureTest, FillColorKeepingAlphaRecoloursA1R5G5B5) {
    Start();
    auto texture = MakeTexture();
    texture->SetSize(2, 1);
    SetPixel(*texture, 0, 0, 0x8000);  // opaque black
    SetPixel(*texture, 1, 0, 0x7FFF);  // transparent white
    texture->FillColor(RECT{0, 0, 2, 1}, 0x00F8400F, true);
    // Colour bits from the top five bits of each channel: 11111, 01000, 00001.
    EXPECT_EQ(Pixel(*texture, 0, 0), 0x8000u | (31u << 10) | (8u << 5) | 1u);
    EXPECT_EQ(Pixel(*texture, 1, 0), (31u << 10) | (8u << 5) | 1u);
    texture->FillColor(RECT{0, 0, 2, 1}, 0x00F8400F, false);
    EXPECT_EQ(Pixel(*texture, 0, 0), (31u << 10) | (8u << 5) | 1u)
        << "without KeepAlpha the colour's alpha (0) counts";
}

TEST_F(TextureTest, LockSourceRule) {
    Start();
    auto texture = MakeTexture();
    texture->LockRect(0, nullptr, 0);  // no texture yet: reported, nothing else
    EXPECT_EQ(texture->Source, kvsNone);
    const auto failures = FailureLines();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0],
              "テクスチャが確保されていません。LockRectの前にSetSizeするか、BMPを読み込んでください"
              "(Error Code = UNKNOWN ERROR ... $00000001)");

    texture->Source = kvsFile;
    texture->SetSize(4, 4);
    texture->Source = kvsFile;
    texture->LockRect(0, nullptr, D3DLOCK_READONLY);
    texture->UnlockRect();
    EXPECT_EQ(texture->Source, kvsFile) << "a read-only lock changes nothing";
    texture->LockRect(0, nullptr, 0);
    texture->UnlockRect();
    EXPECT_EQ(texture->Source, kvsProgram);
}

TEST_F(TextureTest, ProgramWrittenManagedTextureSurvivesSetWindowMode) {
    UseTextureCaps(D3DPTEXTURECAPS_POW2);
    Start();
    auto texture = MakeTexture();
    texture->ClearColor = 0xFFFFFFFF;
    texture->SetSize(5, 3);  // an 8 x 4 texture
    texture->FillColor(RECT{0, 0, 5, 3}, 0, false);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x) SetPixel(*texture, x, y, (x * 4099 + y * 7919) & 0xFFFF);
    SetPixel(*texture, 7, 3, 0x1234);  // outside the requested area
    SetWindowMode(800, 600);
    ASSERT_NE(texture->Texture, nullptr);
    EXPECT_EQ(texture->TextureWidth, 8u);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x) EXPECT_EQ(Pixel(*texture, x, y), (x * 4099 + y * 7919) & 0xFFFF);
    EXPECT_EQ(Pixel(*texture, 7, 3), 0xFFFFu) << "outside the requested area: ClearColor";
    EXPECT_EQ(Pixel(*texture, 5, 0), 0xFFFFu);
    EXPECT_EQ(texture->Backup, nullptr);
    EXPECT_EQ(texture->Source, kvsProgram);
    EXPECT_FALSE(texture->Rebuilding);
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(TextureTest, DefaultPoolTextureComesBackEmptyAfterAReset) {
    StartWithDepth();
    auto texture = MakeTexture(D3DPOOL_DEFAULT);
    texture->SetSize(4, 4);
    IDirect3DTexture9* before = texture->Texture;
    ASSERT_NE(before, nullptr);
    ASSERT_TRUE(LoseDevice(kv->Device));
    ASSERT_TRUE(EndDeviceLoss(kv->Device));
    kv->ResetDevice();
    EXPECT_EQ(kv->Device->TestCooperativeLevel(), D3D_OK)
        << "Reset needs every default-pool texture released";
    ASSERT_NE(texture->Texture, nullptr);
    EXPECT_EQ(texture->TextureWidth, 4u);
    EXPECT_TRUE(FailureLines().empty());

    // A managed texture is left alone by a reset.
    auto managed = MakeTexture();
    managed->SetSize(2, 2);
    IDirect3DTexture9* kept = managed->Texture;
    LoseDevice(kv->Device);
    EndDeviceLoss(kv->Device);
    kv->ResetDevice();
    EXPECT_EQ(managed->Texture, kept);
}

TEST_F(TextureTest, NeverSizedTextureIsRebuiltWithoutATexture) {
    Start();
    auto texture = MakeTexture();
    SetWindowMode(640, 480);
    EXPECT_EQ(texture->Texture, nullptr);
    EXPECT_EQ(texture->Source, kvsNone);
    EXPECT_TRUE(FailureLines().empty());
    texture->SetSize(0, 8);  // zero sizes make nothing and report nothing
    EXPECT_EQ(texture->Texture, nullptr);
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(TextureTest, SaveToStreamWritesA32BitBitmapOfTheRequestedArea) {
    UseTextureCaps(D3DPTEXTURECAPS_POW2);
    Start();
    auto texture = MakeTexture();
    texture->SetSize(3, 2);
    SetPixel(*texture, 0, 0, 0x7C00);  // red without the alpha bit
    SetPixel(*texture, 2, 1, 0x801F);  // opaque blue
    TMemoryStream stream;
    texture->SaveToStream(stream);
    ASSERT_EQ(stream.Size(), 54 + 3 * 2 * 4);
    TBitmapFileHeader file;
    TBitmapInfoHeader info;
    std::memcpy(&file, stream.Memory(), 14);
    std::memcpy(&info, stream.Memory() + 14, 40);
    EXPECT_EQ(uint16_t{file.Type}, 0x4D42);
    EXPECT_EQ(uint32_t{file.FileSize}, 78u);
    EXPECT_EQ(uint32_t{file.PixelOffset}, 54u);
    EXPECT_EQ(uint32_t{info.HeaderSize}, 40u);
    EXPECT_EQ(int32_t{info.Width}, 3);
    EXPECT_EQ(int32_t{info.Height}, 2);
    EXPECT_EQ(uint16_t{info.BitCount}, 32);
    EXPECT_EQ(uint32_t{info.ImageSize}, 24u);
    uint32_t pixels[6];
    std::memcpy(pixels, stream.Memory() + 54, 24);
    EXPECT_EQ(pixels[3], 0x00FF0000u) << "top-left is in the last row";
    EXPECT_EQ(pixels[2], 0xFF0000FFu);
    EXPECT_EQ(texture->Source, kvsProgram);
}

TEST_F(TextureTest, LoadFromStreamSizesAndFillsTheTexture) {
    UseTextureCaps(D3DPTEXTURECAPS_POW2);
    Start();
    auto texture = MakeTexture(D3DPOOL_MANAGED, {D3DFMT_A8R8G8B8});
    texture->ClearColor = 0xFF00FF00;
    const auto image =
        MakeBitmap(200, 300, 24, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x << 8 | y); });
    TMemoryStream stream;
    stream.WriteBuffer("junk", 4);
    stream.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
    stream.SetPosition(4);
    texture->LoadFromStream(stream);
    EXPECT_EQ(texture->Width, 200u);
    EXPECT_EQ(texture->Height, 300u);
    EXPECT_EQ(texture->TextureWidth, 256u);
    EXPECT_EQ(texture->TextureHeight, 512u);
    EXPECT_EQ(Pixel(*texture, 0, 0), 0xFF000000u);
    EXPECT_EQ(Pixel(*texture, 199, 299), 0xFF000000u | 199u << 8 | (299u & 0xFF));
    EXPECT_EQ(Pixel(*texture, 200, 0), 0xFF00FF00u) << "the rest of the texture: ClearColor";
    EXPECT_EQ(Pixel(*texture, 0, 300), 0xFF00FF00u);
    EXPECT_EQ(texture->Source, kvsProgram);
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(TextureTest, TruncatedBitmapSizesTheTextureAndKeepsTheRowsItHolds) {
    Start();
    auto texture = MakeTexture(D3DPOOL_MANAGED, {D3DFMT_A8R8G8B8});
    texture->ClearColor = 0xFF00FF00;
    const auto image =
        MakeBitmap(5, 6, 24, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x << 8 | y); });
    const int64_t rowBytes = 16;  // 5 x 3 bytes, padded to 4
    // Two bytes short, and short of the top two and a half rows (rows are
    // stored bottom first, so the bottom rows are the ones kept).
    for (const int64_t cut : {int64_t{2}, 2 * rowBytes + 8}) {
        SCOPED_TRACE(cut);
        ResetLogState();
        HaltOnErrorSwitch = false;
        TMemoryStream stream;
        stream.WriteBuffer(image.data(), static_cast<int64_t>(image.size()) - cut);
        stream.SetPosition(0);
        texture->LoadFromStream(stream);
        ASSERT_NE(texture->Texture, nullptr);
        EXPECT_EQ(texture->Width, 5u);
        EXPECT_EQ(texture->Height, 6u);
        const uint32_t firstPresent = static_cast<uint32_t>((cut + rowBytes - 1) / rowBytes);
        for (uint32_t y = 0; y < 6; ++y) {
            const uint32_t expected = y < firstPresent ? 0xFF00FF00u : 0xFF000000u | 4u << 8 | y;
            EXPECT_EQ(Pixel(*texture, 4, y), expected) << "row " << y;
        }
        // One line for the rows that were missing, and no failure (which
        // would end the program while halting is on).
        EXPECT_TRUE(FailureLines().empty());
        const auto lines = Trimmed();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "LoadBMP中に、読み込みエラーが発生しました"), 1);
    }
}

TEST_F(TextureTest, AHeaderBeyondTheDeviceMaximumMakesNoTexture) {
    // A header of a few bytes asking for 8192 x 8192 pixels: the device's
    // maximum texture size is the bound, here 256.
    AdapterProfile profile = HardwareProfile(true);
    profile.Find(D3DDEVTYPE_HAL)->Caps.MaxTextureWidth = 256;
    profile.Find(D3DDEVTYPE_HAL)->Caps.MaxTextureHeight = 256;
    SetDefaultAdapterProfile(profile);
    Start();
    auto texture = MakeTexture(D3DPOOL_MANAGED, {D3DFMT_A8R8G8B8});
    for (const int32_t size : {256, 8192}) {
        SCOPED_TRACE(size);
        ResetLogState();
        HaltOnErrorSwitch = false;
        auto image = MakeBitmap(1, 1, 32, [](int32_t, int32_t) { return 0u; });
        std::memcpy(&image[18], &size, 4);
        std::memcpy(&image[22], &size, 4);
        TMemoryStream stream;
        stream.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
        stream.SetPosition(0);
        texture->LoadFromStream(stream);
        EXPECT_EQ(texture->Texture != nullptr, size == 256);
        const auto failures = FailureLines();
        if (size == 256) {
            EXPECT_TRUE(failures.empty());
        } else {
            ASSERT_FALSE(failures.empty());
            EXPECT_EQ(failures[0].rfind("テクスチャの生成に失敗しました(Error Code = D3DERR_INVALIDCALL", 0),
                      0u);
        }
    }
}

TEST_F(TextureTest, LoadFromStreamReportsDamagedBitmaps) {
    Start();
    auto texture = MakeTexture();
    TMemoryStream shortStream;
    shortStream.WriteBuffer("BM", 2);
    shortStream.SetPosition(0);
    texture->LoadFromStream(shortStream);
    auto image = MakeBitmap(2, 2, 24, [](int32_t, int32_t) { return 0u; });
    image[25] = 0x80;  // a negative height must not size the texture
    TMemoryStream negative;
    negative.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
    negative.SetPosition(0);
    texture->LoadFromStream(negative);
    EXPECT_EQ(texture->Texture, nullptr);
    const std::string line = "ストリームからの、読み込みエラー(Error Code = UNKNOWN ERROR ... $00000001)";
    EXPECT_EQ(FailureLines(), (std::vector<std::string>{line, line}));
}

TEST_F(TextureTest, SetSizeWithoutADeviceReportsInsteadOfTouchingIt) {
    AdapterProfile profile = HardwareProfile(true);
    profile.Find(D3DDEVTYPE_HAL)->BackBufferFormats.clear();
    SetDefaultAdapterProfile(profile);
    Start();
    ASSERT_EQ(kv->Device, nullptr);
    auto texture = MakeTexture();
    ResetLogState();
    HaltOnErrorSwitch = false;
    texture->SetSize(8, 8);
    EXPECT_EQ(texture->Texture, nullptr);
    EXPECT_EQ(FailureLines(),
              (std::vector<std::string>{
                  "テクスチャの生成に失敗しました(Error Code = UNKNOWN ERROR ... $00000001)",
                  "テクスチャが確保されていません。LockRectの前にSetSizeするか、BMPを読み込んでください"
                  "(Error Code = UNKNOWN ERROR ... $00000001)"}));
}

TEST_F(TextureTest, DestroyReleasesAndUnregisters) {
    Start();
    auto texture = MakeTexture();
    texture->SetSize(4, 4);
    ResetLogState();
    HaltOnErrorSwitch = false;
    texture.reset();
    EXPECT_EQ(Trimmed(),
              (std::vector<std::string>{"テクスチャオブジェクトを解放します",
                                        "Korvaneリソース(TKVTexture) : ID 0(tex) を登録解除します"}));
    EXPECT_TRUE(kv->Resources.empty());
}

}  // namespace
}  // namespace wbx
