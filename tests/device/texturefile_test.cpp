// Texture loading from bitmap files and archive entries.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "bitmapbuilder.h"
#include "defaultadapter.h"
#include "device/texture.h"
#include "devicefixture.h"

namespace wbx {
namespace {

using testing::MakeBitmap;
using testing::SetDefaultAdapterProfile;

// An archive of stored entries: 256-byte header ("VRA0", entry count), 268-byte
// directory entries (offset, stored size, expanded size, zero-terminated ID), data.
std::vector<uint8_t> MakeArchive(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
    std::vector<uint8_t> out(256 + 268 * entries.size(), 0);
    auto put = [&out](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    std::memcpy(&out[4], "VRA0", 4);
    put(8, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t entry = 256 + 268 * i;
        put(entry, static_cast<uint32_t>(out.size()));
        put(entry + 4, static_cast<uint32_t>(entries[i].second.size()));
        put(entry + 8, static_cast<uint32_t>(entries[i].second.size()));
        std::memcpy(&out[entry + 12], entries[i].first.c_str(), entries[i].first.size() + 1);
        out.insert(out.end(), entries[i].second.begin(), entries[i].second.end());
    }
    return out;
}

std::vector<uint8_t> SolidBitmap(int32_t width, int32_t height, uint32_t rgb) {
    return MakeBitmap(width, height, 24, [rgb](int32_t, int32_t) { return rgb; });
}

class TextureFileTest : public testing::DeviceFixture {
protected:
    void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::unique_ptr<TKVTexture> MakeTexture() {
        return std::make_unique<TKVTexture>(kv.get(), std::vector<D3DFORMAT>{D3DFMT_A8R8G8B8}, 0,
                                            D3DPOOL_MANAGED, 0, "skin");
    }
    static uint32_t Pixel(TKVTexture& t, uint32_t x, uint32_t y) {
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(t.Texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t value = 0;
        std::memcpy(&value, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        t.Texture->UnlockRect(0);
        return value;
    }
};

TEST_F(TextureFileTest, BitmapFileIsLoadedAndReloadedAfterARebuild) {
    AdapterProfile profile = HardwareProfile(true);
    profile.Find(D3DDEVTYPE_HAL)->Caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
    SetDefaultAdapterProfile(profile);
    Start();
    const std::string path = Folder() + "/skin.bmp";
    Write(path, SolidBitmap(200, 300, 0x102030));
    auto texture = MakeTexture();
    texture->LoadFromFile(path, "");
    ASSERT_NE(texture->Texture, nullptr);
    EXPECT_EQ(texture->TextureWidth, 256u);
    EXPECT_EQ(texture->TextureHeight, 512u);
    EXPECT_EQ(Pixel(*texture, 199, 299), 0xFF102030u);
    EXPECT_EQ(Pixel(*texture, 200, 0), 0u) << "outside the image: the clear colour";
    EXPECT_EQ(texture->Source, kvsFile);
    EXPECT_EQ(texture->FileName, path);

    // A rebuild reads the file again (it changed meanwhile), rather than a backup.
    Write(path, SolidBitmap(200, 300, 0x405060));
    SetWindowMode(640, 480);
    ASSERT_NE(texture->Texture, nullptr);
    EXPECT_EQ(Pixel(*texture, 0, 0), 0xFF405060u);
    EXPECT_EQ(texture->Source, kvsFile);
    EXPECT_EQ(texture->Backup, nullptr);
    const auto lines = Trimmed();
    EXPECT_EQ(
        std::count(lines.begin(), lines.end(), "ID 0(skin) のテクスチャに、" + path + " を読み込みます"), 2);
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(TextureFileTest, ArchiveEntryIsLoadedAndReloadedAfterARebuild) {
    Start();
    const std::string archive = Folder() + "/data.vra";
    Write(archive, MakeArchive({{"other", SolidBitmap(1, 1, 0)}, {"Face01", SolidBitmap(4, 2, 0xA0B0C0)}}));
    auto texture = MakeTexture();
    texture->LoadFromFile("face01", archive);  // IDs match regardless of case
    ASSERT_NE(texture->Texture, nullptr);
    EXPECT_EQ(texture->Width, 4u);
    EXPECT_EQ(Pixel(*texture, 3, 1), 0xFFA0B0C0u);
    EXPECT_EQ(texture->Source, kvsArchive);
    EXPECT_EQ(texture->ArchiveName, archive);
    EXPECT_EQ(texture->ArchiveID, "face01");

    Write(archive, MakeArchive({{"FACE01", SolidBitmap(4, 2, 0x0D0E0F)}}));
    SetWindowMode(640, 480);
    ASSERT_NE(texture->Texture, nullptr);
    EXPECT_EQ(Pixel(*texture, 0, 0), 0xFF0D0E0Fu);
    const auto lines = Trimmed();
    EXPECT_EQ(
        std::count(lines.begin(), lines.end(),
                   "ID 0(skin) のテクスチャに、VRAファイル" + archive + " から ID face01 を読み込みます"),
        2);
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(TextureFileTest, FailedLoadsAreReportedAndStillRecorded) {
    Start();
    auto texture = MakeTexture();
    const std::string missing = Folder() + "/missing.bmp";
    texture->LoadFromFile(missing, "");
    EXPECT_EQ(texture->Texture, nullptr) << "left unsized";
    EXPECT_EQ(texture->Source, kvsFile);
    EXPECT_EQ(texture->FileName, missing);

    const std::string archive = Folder() + "/data.vra";
    Write(archive, MakeArchive({{"a", SolidBitmap(1, 1, 0)}}));
    texture->LoadFromFile("b", archive);  // no such entry
    EXPECT_EQ(texture->Source, kvsArchive);
    const std::string notArchive = Folder() + "/not.vra";
    Write(notArchive, std::vector<uint8_t>(300, 1));
    texture->LoadFromFile("a", notArchive);
    const std::string truncated = Folder() + "/short.bmp";
    Write(truncated, std::vector<uint8_t>{'B', 'M', 0, 0});
    texture->LoadFromFile(truncated, "");

    const std::string tail = "からの、読み込みエラー(Error Code = UNKNOWN ERROR ... $00000001)";
    EXPECT_EQ(FailureLines(), (std::vector<std::string>{missing + tail, "b ＠ " + archive + tail,
                                                        "a ＠ " + notArchive + tail, truncated + tail}));
    // The rebuild tries the recorded load again and reports it again.
    SetWindowMode(640, 480);
    EXPECT_EQ(FailureLines().size(), 5u);
    EXPECT_EQ(texture->Source, kvsFile);
    EXPECT_FALSE(texture->Rebuilding);
}

}  // namespace
}  // namespace wbx
