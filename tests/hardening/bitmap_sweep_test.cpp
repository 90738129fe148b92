// Bitmaps damaged by one edit: every prefix, and every value of every byte of
// the two headers, loaded with LoadBMP into fixed textures of the three kinds
// of destination (A1R5G5B5, X8R8G8B8, P8) and through TKVTexture's stream
// load, which sizes its texture from the header first. Nothing may be raised;
// a prefix keeps only rows the whole bitmap gives; and no load asks for
// memory beyond a few times what the bitmap's bytes can fill.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "device/bitmap.h"
#include "device/texture.h"
#include "hardeningfixture.h"
#include "heapmeter.h"
#include "samples.h"

namespace wbx::testing {
namespace {

constexpr uint32_t kWidth = 24;   // the fixed textures: wider than tall bitmaps,
constexpr uint32_t kHeight = 20;  // narrower than wide ones
constexpr uint32_t kFill = 0x5A;  // every byte of a fixed texture before a load
constexpr D3DFORMAT kFormats[] = {D3DFMT_A1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_P8};

// A texture of a load's destination kind and level 0's bytes.
class FixedTexture {
public:
    FixedTexture(IDirect3DDevice9* device, D3DFORMAT format) : format_(format) {
        EXPECT_EQ(device->CreateTexture(kWidth, kHeight, 1, 0, format, D3DPOOL_MANAGED, &texture_, nullptr),
                  D3D_OK);
    }
    ~FixedTexture() {
        if (texture_) texture_->Release();
    }
    FixedTexture(const FixedTexture&) = delete;
    FixedTexture& operator=(const FixedTexture&) = delete;
    void Fill() {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture_->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (uint32_t y = 0; y < kHeight; ++y)
            std::memset(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, kFill, RowBytes());
        texture_->UnlockRect(0);
    }
    std::vector<std::vector<uint8_t>> Rows() const {
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture_->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<std::vector<uint8_t>> rows;
        for (uint32_t y = 0; y < kHeight; ++y) {
            const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch;
            rows.emplace_back(row, row + RowBytes());
        }
        texture_->UnlockRect(0);
        return rows;
    }
    IDirect3DTexture9* Texture() const { return texture_; }
    D3DFORMAT Format() const { return format_; }

private:
    uint32_t RowBytes() const {
        return kWidth * (format_ == D3DFMT_X8R8G8B8 ? 4 : format_ == D3DFMT_P8 ? 1 : 2);
    }
    D3DFORMAT format_;
    IDirect3DTexture9* texture_ = nullptr;
};

class BitmapSweep : public DeviceTest {
protected:
    // Loads bytes into a filled texture, returning its rows.
    std::vector<std::vector<uint8_t>> Load(FixedTexture& texture, const Bytes& bytes,
                                           size_t* largest = nullptr) {
        texture.Fill();
        TMemoryStream stream;
        stream.Bytes() = bytes;
        const AllocationReport report = MeterAllocations([&] { LoadBMP(texture.Texture(), stream); });
        if (largest) *largest = report.Largest;
        return texture.Rows();
    }

    // The whole bitmaps of the sweeps: taller and narrower, and shorter and
    // wider, than the fixed textures, at every bit count.
    static std::vector<Bytes> Bitmaps() {
        return {SampleBitmap(7, 26, 8), SampleBitmap(30, 5, 16), SampleBitmap(5, 23, 24),
                SampleBitmap(27, 4, 32)};
    }
};

TEST_F(BitmapSweep, EveryPrefixKeepsOnlyRowsOfTheWholeImage) {
    for (D3DFORMAT format : kFormats) {
        FixedTexture texture(KV->Device, format);
        for (const Bytes& bitmap : Bitmaps()) {
            const uint16_t bits = bitmap[28];
            if (format == D3DFMT_P8 && bits > 8) continue;  // refused at once, tested below
            const auto whole = Load(texture, bitmap);
            const auto untouched =
                std::vector<std::vector<uint8_t>>(kHeight, std::vector<uint8_t>(whole[0].size(), kFill));
            ASSERT_NE(whole, untouched) << bits;
            for (size_t keep = 0; keep < bitmap.size(); ++keep) {
                size_t largest = 0;
                const auto rows = Load(texture, Bytes(bitmap.begin(), bitmap.begin() + keep), &largest);
                for (uint32_t y = 0; y < kHeight; ++y)
                    EXPECT_TRUE(rows[y] == whole[y] || rows[y] == untouched[y])
                        << "format " << format << ", " << bits << " bits, prefix " << keep << ", row " << y;
                EXPECT_LE(largest, 2 * bitmap.size() + 1024) << bits << " bits, prefix " << keep;
            }
        }
    }
}

TEST_F(BitmapSweep, EveryValueOfEveryHeaderByteStaysInItsBuffers) {
    // Widths, heights, bit counts and pixel offsets of every kind; the loads
    // must neither raise nor (in the sanitizer build) touch memory they do not own.
    std::vector<std::unique_ptr<FixedTexture>> textures;
    for (D3DFORMAT format : kFormats) textures.push_back(std::make_unique<FixedTexture>(KV->Device, format));
    for (const Bytes& bitmap : Bitmaps()) {
        for (size_t at = 0; at < 54; ++at) {
            for (int value = 0; value < 256; ++value) {
                Bytes damaged = bitmap;
                damaged[at] = static_cast<uint8_t>(value);
                for (const auto& texture : textures) {
                    size_t largest = 0;
                    ASSERT_NO_THROW(Load(*texture, damaged, &largest));
                    // Row buffers: at most a source row the stream holds, and a texture row.
                    EXPECT_LE(largest, damaged.size() + 1024) << "byte " << at << " = " << value;
                }
            }
        }
    }
}

TEST_F(BitmapSweep, StreamLoadsSizeTheTextureOnlyForImagesTheBytesCanFill) {
    TKVTexture texture(KV.get(), {D3DFMT_A8R8G8B8}, 0, D3DPOOL_MANAGED, 1, "sweep");
    for (const Bytes& bitmap : Bitmaps()) {
        auto load = [&](const Bytes& bytes, const std::string& what) {
            texture.SetSize(1, 1);
            TMemoryStream stream;
            stream.Bytes() = bytes;
            const AllocationReport report = MeterAllocations([&] { texture.LoadFromStream(stream); });
            // A texture of 4-byte texels for at most one texel per byte, and the stream's own buffers.
            EXPECT_LE(report.Largest, 4 * bytes.size() + 4096) << what;
            EXPECT_LE(uint64_t{texture.TextureWidth} * texture.TextureHeight,
                      std::max<size_t>(bytes.size(), 1))
                << what;
        };
        for (size_t keep = 0; keep <= bitmap.size(); ++keep)
            load(Bytes(bitmap.begin(), bitmap.begin() + keep), "prefix " + std::to_string(keep));
        for (size_t at = 0; at < 54; ++at) {
            for (int value = 0; value < 256; ++value) {
                Bytes damaged = bitmap;
                damaged[at] = static_cast<uint8_t>(value);
                load(damaged, "byte " + std::to_string(at) + " = " + std::to_string(value));
            }
        }
    }
}

TEST(BitmapHeader, SizesThePixelRowsCannotFillAreRefused) {
    // 8192 x 8192 at 32 bits declared by a header with no pixels behind it:
    // before this check, loading it sized a 256 MiB texture.
    Bytes bitmap = SampleBitmap(2, 2, 32);
    const int32_t huge = 8192;
    std::memcpy(bitmap.data() + 18, &huge, 4);
    std::memcpy(bitmap.data() + 22, &huge, 4);
    TMemoryStream stream;
    stream.Bytes() = bitmap;
    EXPECT_THROW(ReadBitmapInfo(stream, 0), EBitmapError);

    // Whole bitmaps pass, also behind other data and at every bit count a row can be stored with.
    for (uint16_t bits : {8, 16, 24, 32}) {
        TMemoryStream whole;
        whole.WriteBuffer("prefix", 6);
        const Bytes image = SampleBitmap(13, 3, bits);
        whole.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
        EXPECT_EQ(ReadBitmapInfo(whole, 6).Width, 13) << bits;
        // One byte less of the last row, and the rows no longer fit.
        TMemoryStream cut;
        cut.Bytes().assign(image.begin(), image.end() - 1);
        EXPECT_THROW(ReadBitmapInfo(cut, 0), EBitmapError) << bits;
    }
    // A width times bit count beyond 64 bits of arithmetic is refused, not wrapped around.
    Bytes absurd = SampleBitmap(2, 2, 32);
    const int32_t widest = 0x7FFFFFFF;
    const uint16_t deepest = 0xFFFF;
    std::memcpy(absurd.data() + 18, &widest, 4);
    std::memcpy(absurd.data() + 22, &widest, 4);
    std::memcpy(absurd.data() + 28, &deepest, 2);
    TMemoryStream stream2;
    stream2.Bytes() = absurd;
    EXPECT_THROW(ReadBitmapInfo(stream2, 0), EBitmapError);
}

}  // namespace
}  // namespace wbx::testing
