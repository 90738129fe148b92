// Zlib streams of mostly-zero data: zlib inflates them to the same bytes,
// whatever the runs' lengths and however skewed the bytes' counts.
#include "viewer/zerorundeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

namespace wbx {
namespace {

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& stream, size_t size) {
    std::vector<uint8_t> out(size + 1);
    uLongf length = static_cast<uLongf>(out.size());
    const int result = uncompress(out.data(), &length, stream.data(), static_cast<uLong>(stream.size()));
    EXPECT_EQ(result, Z_OK);
    out.resize(length);
    return out;
}

void ExpectRoundTrip(const std::vector<uint8_t>& data, const std::string& what) {
    std::vector<uint8_t> stream = {1, 2, 3};  // written over
    ZlibCompressZeroRuns(data.data(), data.size(), stream);
    EXPECT_EQ(Inflate(stream, data.size()), data) << what;
    std::vector<uint8_t> again;
    ZlibCompressZeroRuns(data.data(), data.size(), again);
    EXPECT_EQ(again, stream) << what;
}

TEST(ZeroRunDeflate, RunsOfEveryLengthAroundTheCopyLimits) {
    ExpectRoundTrip({}, "nothing");
    for (size_t run : {1,  2,   3,   4,   5,   8,   9,   11,  31,  32,  33,    34,   40,
                       41, 258, 259, 260, 261, 262, 516, 517, 518, 519, 40000, 70001}) {
        ExpectRoundTrip(std::vector<uint8_t>(run, 0), "zeros " + std::to_string(run));
        std::vector<uint8_t> framed(run + 2, 0);
        framed.front() = 7;
        framed.back() = 200;
        ExpectRoundTrip(framed, "framed zeros " + std::to_string(run));
    }
}

TEST(ZeroRunDeflate, LiteralsOfEveryValueAndMixedRuns) {
    std::vector<uint8_t> all(256);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
    ExpectRoundTrip(all, "every byte once");
    ExpectRoundTrip({0xFF}, "one byte");
    std::mt19937 random(5);
    for (int round = 0; round < 20; ++round) {
        std::vector<uint8_t> data;
        while (data.size() < 20000) {
            data.insert(data.end(), random() % 700, 0);
            for (unsigned n = random() % 40; n > 0; --n) data.push_back(static_cast<uint8_t>(random()));
        }
        ExpectRoundTrip(data, "mixed " + std::to_string(round));
    }
}

TEST(ZeroRunDeflate, AWorkingBufferKeptBetweenCallsChangesNothing) {
    std::mt19937 random(9);
    std::vector<uint8_t> large(50000, 0), small(300, 0);
    for (uint8_t& byte : large)
        if (random() % 5 == 0) byte = static_cast<uint8_t>(random());
    for (size_t i = 0; i < small.size(); i += 7) small[i] = static_cast<uint8_t>(i);
    TZeroRunBuffers buffers;
    std::vector<uint8_t> kept, fresh;
    for (const std::vector<uint8_t>* data : {&large, &small, &large}) {
        ZlibCompressZeroRuns(data->data(), data->size(), kept, buffers);
        ZlibCompressZeroRuns(data->data(), data->size(), fresh);
        EXPECT_EQ(kept, fresh);
        EXPECT_EQ(Inflate(kept, data->size()), *data);
    }
}

TEST(ZeroRunDeflate, SkewedCountsStillGetCodesOfAtMostFifteenBits) {
    // Counts doubling from byte to byte give a plain Huffman code twenty
    // bits deep, more than deflate allows.
    std::vector<uint8_t> data;
    for (uint8_t value = 1; value <= 20; ++value) data.insert(data.end(), size_t{1} << (value - 1), value);
    ExpectRoundTrip(data, "skewed");
}

}  // namespace
}  // namespace wbx
