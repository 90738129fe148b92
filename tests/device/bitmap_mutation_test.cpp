// Damaged bitmaps by the thousand: every header field and byte mutated,
// truncated at every length. The decoder must stay inside the stream and the
// level (AddressSanitizer builds check the memory; here the guard bytes do),
// and must never raise.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "base/stream.h"
#include "bitmapbuilder.h"
#include "device/bitmap.h"
#include "device/pixelformat.h"
#include "logfixture.h"

namespace wbx {
namespace {

using BitmapMutationTest = testing::LogFixture;

constexpr uint8_t kGuard = 0xA5;

// Decodes bytes into a w x h level of format with guard rows and columns around it.
void DecodeGuarded(const std::vector<uint8_t>& bytes, int32_t w, int32_t h, D3DFORMAT format) {
    const int32_t bytesPerPixel = static_cast<int32_t>(BitsPerPixel(format) / 8);
    const int32_t pitch = w * bytesPerPixel + 16;
    std::vector<uint8_t> memory(static_cast<size_t>(pitch) * (h + 2), kGuard);
    uint8_t* level = memory.data() + pitch;  // one guard row above, one below
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
    ASSERT_NO_THROW(DecodeBMP(D3DLOCKED_RECT{pitch, level}, RECT{0, 0, w, h}, format, stream));
    for (int32_t i = 0; i < pitch; ++i) {
        ASSERT_EQ(memory[i], kGuard) << "row above written";
        ASSERT_EQ(memory[static_cast<size_t>(pitch) * (h + 1) + i], kGuard) << "row below written";
    }
    for (int32_t y = 0; y < h; ++y)
        for (int32_t i = w * bytesPerPixel; i < pitch; ++i)
            ASSERT_EQ(level[static_cast<size_t>(y) * pitch + i], kGuard) << "beyond the row written";
}

TEST_F(BitmapMutationTest, MutatedAndTruncatedBitmapsStayInBounds) {
    DebugMessageSwitch = false;  // thousands of failure lines are not the point here
    std::mt19937 random(20240611);
    const std::vector<std::vector<uint8_t>> seeds = {
        testing::MakeBitmap(5, 3, 8, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 7 + y); }),
        testing::MakeBitmap(3, 4, 16,
                            [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 999 + y); }),
        testing::MakeBitmap(3, 2, 24, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x << 8 | y); }),
        testing::MakeBitmap(2, 5, 32,
                            [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 0x01010101 + y); }),
    };
    const D3DFORMAT formats[] = {D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8, D3DFMT_R8G8B8, D3DFMT_P8, D3DFMT_L8};
    for (const auto& seed : seeds) {
        for (size_t length = 0; length <= seed.size(); ++length)
            DecodeGuarded(std::vector<uint8_t>(seed.begin(), seed.begin() + length), 4, 4, D3DFMT_A8R8G8B8);
        for (int round = 0; round < 1500; ++round) {
            std::vector<uint8_t> bytes = seed;
            const int changes = 1 + static_cast<int>(random() % 4);
            for (int c = 0; c < changes; ++c) {
                // Mostly the headers, where the sizes and offsets live.
                const size_t at = random() % 4 != 0 ? random() % 54 : random() % bytes.size();
                bytes[at] = static_cast<uint8_t>(random() % 3 == 0 ? 0xFF : random());
            }
            const D3DFORMAT format = formats[random() % std::size(formats)];
            DecodeGuarded(bytes, 1 + static_cast<int32_t>(random() % 7),
                          1 + static_cast<int32_t>(random() % 7), format);
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
}  // namespace wbx
