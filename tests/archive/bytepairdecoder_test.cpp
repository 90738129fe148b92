#include "bytepairdecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "archive/vraerror.h"
#include "archivewriter.h"

namespace wbx {
namespace {

using testing::Bytes;
using testing::PutU32;

TMemoryStream StreamOf(const Bytes& bytes) {
    TMemoryStream stream;
    stream.Bytes() = bytes;
    return stream;
}

Bytes Decode(const Bytes& packed, int64_t expandedSize, int64_t cap = kMaxExpandedSize) {
    TMemoryStream stream = StreamOf(packed);
    auto result = DecodeBytePairs(stream, expandedSize, cap);
    EXPECT_EQ(result->Position(), 0);
    EXPECT_EQ(stream.Position(), stream.Size());
    return result->Bytes();
}

// The message of the EVRAError that decoding raises ("" when none is raised).
std::string DecodeError(const Bytes& packed, int64_t expandedSize, int64_t cap = kMaxExpandedSize) {
    try {
        Decode(packed, expandedSize, cap);
    } catch (const EVRAError& e) {
        return e.Message();
    }
    return "";
}

// A block whose table makes code 128 the pair (65, 66): skip 128 literal codes
// (count byte 255), the entry for code 128, then skip the remaining 127 codes
// (count byte 254), which completes the table without another entry.
Bytes PairAt128Block(const Bytes& data) {
    Bytes block = {255, 65, 66, 254};
    PutU32(block, static_cast<uint32_t>(data.size()));
    block.insert(block.end(), data.begin(), data.end());
    return block;
}

// A table of explicit entries only: codes with an entry in pairs are pairs,
// every other code is written as a literal entry.
Bytes ExplicitTable(const std::vector<std::array<uint8_t, 3>>& pairs) {
    testing::PairTable table;
    for (const auto& [code, left, right] : pairs) {
        table.pair[code] = true;
        table.left[code] = left;
        table.right[code] = right;
    }
    Bytes out;
    testing::EmitTable(table, /*useSkips=*/false, out);
    return out;
}

Bytes Block(Bytes table, const Bytes& data) {
    PutU32(table, static_cast<uint32_t>(data.size()));
    table.insert(table.end(), data.begin(), data.end());
    return table;
}

// A block whose data is the one code `levels`, where code 1 = (0, 0) and each
// code c up to levels = (c - 1, c - 1): 2^levels zero bytes from a few dozen.
Bytes DoublingBlock(int levels) {
    Bytes table = {128, 0, 0, static_cast<uint8_t>(levels - 2)};  // skip code 0, code 1, then 2..levels
    for (int code = 2; code <= levels; ++code) {
        table.push_back(static_cast<uint8_t>(code - 1));
        table.push_back(static_cast<uint8_t>(code - 1));
    }
    // The remaining codes are literals: skips of at most 128, each followed by
    // one entry (a literal, itself) unless the table is complete.
    for (int code = levels + 1; code < 256;) {
        const int skip = std::min(128, 256 - code);
        table.push_back(static_cast<uint8_t>(127 + skip));
        code += skip;
        if (code < 256) table.push_back(static_cast<uint8_t>(code++));
    }
    return Block(table, {static_cast<uint8_t>(levels)});
}

TEST(DecodeBytePairs, PairCodeExpandsToItsTwoBytes) {
    EXPECT_EQ(Decode(PairAt128Block({128}), 2), (Bytes{65, 66}));
    EXPECT_EQ(Decode(PairAt128Block({1, 128, 200, 128}), 6), (Bytes{1, 65, 66, 200, 65, 66}));
}

TEST(DecodeBytePairs, LiteralCodesAreCopied) {
    // Code 128 is given explicitly as itself: a literal, like every skipped code.
    const Bytes block = {255, 128, 254, 3, 0, 0, 0, 'x', 128, 255};
    EXPECT_EQ(Decode(block, 3), (Bytes{'x', 128, 255}));
}

TEST(DecodeBytePairs, CountByte128SkipsOneCode) {
    // Skip code 0, code 1 := (A, B), skip 128 (to 130), 130 literal, skip 125 (to 256).
    Bytes table = {128, 'A', 'B', 255, 130, 252};
    EXPECT_EQ(Decode(Block(table, {1, 0, 130}), 4), (Bytes{'A', 'B', 0, 130}));
}

TEST(DecodeBytePairs, NestedPairsExpandLeftFirst) {
    // 200 = (201, 202), 201 = (a, b), 202 = (c, 201): 200 -> a b c a b.
    const Bytes table = ExplicitTable({{200, 201, 202}, {201, 'a', 'b'}, {202, 'c', 201}});
    EXPECT_EQ(Decode(Block(table, {200, 'z', 202}), 9), testing::ToBytes("abcabzcab"));
}

TEST(DecodeBytePairs, BlocksConcatenateAndTablesResetPerBlock) {
    // Block 2 does not define 128, so there it is a literal again.
    Bytes packed = PairAt128Block({128});
    const Bytes second = Block(ExplicitTable({}), {128, 'q'});
    packed.insert(packed.end(), second.begin(), second.end());
    EXPECT_EQ(Decode(packed, 4), (Bytes{65, 66, 128, 'q'}));
}

TEST(DecodeBytePairs, ShortExpansionLeavesAZeroTail) {
    EXPECT_EQ(Decode(PairAt128Block({128}), 5), (Bytes{65, 66, 0, 0, 0}));
    EXPECT_EQ(Decode({}, 0), Bytes{});
    // A block with no data at all is legal.
    EXPECT_EQ(Decode(PairAt128Block({}), 1), (Bytes{0}));
}

TEST(DecodeBytePairs, RoundTripsTheEncoder) {
    struct Case {
        const char* name;
        Bytes input;
        testing::EncoderOptions options;
    };
    const std::vector<Case> cases = {
        {"text, several blocks", testing::RepetitiveText(20000), {}},
        {"text, explicit tables", testing::RepetitiveText(9000, 3), {.blockSize = 1000, .useSkips = false}},
        {"random", testing::RandomBytes(10000), {}},
        {"one repeated byte", Bytes(50000, 0x41), {.blockSize = 8192}},
        {"one byte", Bytes{7}, {}},
        {"small blocks", testing::RepetitiveText(3000, 9), {.blockSize = 17, .minPairCount = 2}},
    };
    for (const Case& c : cases) {
        const Bytes packed = testing::EncodeBytePairs(c.input, c.options);
        EXPECT_EQ(Decode(packed, static_cast<int64_t>(c.input.size())), c.input) << c.name;
    }
    // The encoder really paired things (otherwise the test proves little).
    EXPECT_LT(testing::EncodeBytePairs(testing::RepetitiveText(20000)).size(), 10000u);
    EXPECT_LT(testing::EncodeBytePairs(Bytes(50000, 0x41), {.blockSize = 8192}).size(), 2000u);
}

TEST(DecodeBytePairs, ReadsFromAnyStreamFromItsPosition) {
    const Bytes input = testing::RepetitiveText(5000);
    const Bytes packed = testing::EncodeBytePairs(input);
    // A stream that is not a memory stream takes the copying path.
    class VectorStream : public TStream {
    public:
        explicit VectorStream(Bytes bytes) : memory_() { memory_.Bytes() = std::move(bytes); }
        int64_t Read(void* buffer, int64_t count) override { return memory_.Read(buffer, count); }
        int64_t Write(const void* buffer, int64_t count) override { return memory_.Write(buffer, count); }
        int64_t Seek(int64_t offset, SeekOrigin origin) override { return memory_.Seek(offset, origin); }
        void SetSize(int64_t newSize) override { memory_.SetSize(newSize); }

    private:
        TMemoryStream memory_;
    };
    Bytes prefixed = {9, 9, 9};
    prefixed.insert(prefixed.end(), packed.begin(), packed.end());
    VectorStream stream(prefixed);
    stream.SetPosition(3);
    EXPECT_EQ(DecodeBytePairs(stream, static_cast<int64_t>(input.size()))->Bytes(), input);
    EXPECT_EQ(stream.Position(), stream.Size());

    TMemoryStream memory = StreamOf(prefixed);
    memory.SetPosition(3);
    EXPECT_EQ(DecodeBytePairs(memory, static_cast<int64_t>(input.size()))->Bytes(), input);
}

// The decoding steps as the format describes them, byte by byte with a real
// 256-byte stack of both halves, the result growing past expandedSize up to
// cap bytes; nullopt where the data is refused.
std::optional<Bytes> ReferenceDecode(const Bytes& in, size_t expandedSize, size_t cap) {
    Bytes out(expandedSize, 0);
    uint8_t left[256], right[256] = {}, stack[256];
    size_t pos = 0, written = 0;
    auto next = [&](int& value) {
        if (pos >= in.size()) return false;
        value = in[pos++];
        return true;
    };
    while (pos < in.size()) {
        for (int i = 0; i < 256; ++i) left[i] = static_cast<uint8_t>(i);
        int code = 0, k = 0, x = 0;
        next(k);
        for (;;) {
            if (k > 127) code += k - 127, k = 0;
            if (code == 256) break;
            if (code > 256) return std::nullopt;
            for (int n = 0; n <= k; ++n, ++code) {
                if (code > 255 || !next(x)) return std::nullopt;
                left[code] = static_cast<uint8_t>(x);
                if (x != code) {
                    if (!next(x)) return std::nullopt;
                    right[code] = static_cast<uint8_t>(x);
                }
            }
            if (code == 256) break;
            if (!next(k)) return std::nullopt;
        }
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i) {
            if (!next(x)) return std::nullopt;
            length |= static_cast<uint32_t>(x) << (8 * i);
        }
        int top = 0;
        for (;;) {
            if (top > 0) {
                x = stack[--top];
            } else if (length > 0) {
                if (!next(x)) return std::nullopt;
                --length;
            } else {
                break;
            }
            if (left[x] == x) {
                if (written == cap) return std::nullopt;
                if (written == out.size()) out.push_back(0);
                out[written++] = static_cast<uint8_t>(x);
            } else {
                if (top + 2 > 256) return std::nullopt;
                stack[top++] = right[x];
                stack[top++] = left[x];
            }
        }
    }
    return out;
}

TEST(DecodeBytePairs, AgreesWithTheStepByStepDecodingOnDamagedData) {
    // Damaged variants of real packed data: every outcome (bytes or refusal)
    // must be the one the plain step-by-step decoding gives.
    const Bytes input = testing::RepetitiveText(3000, 11);
    const Bytes packed = testing::EncodeBytePairs(input, {.blockSize = 700});
    uint32_t state = 12345;
    auto random = [&state](uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    int refused = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        Bytes damaged = packed;
        const int edits = 1 + static_cast<int>(random(4));
        for (int e = 0; e < edits; ++e) damaged[random(static_cast<uint32_t>(damaged.size()))] = random(256);
        if (random(4) == 0) damaged.resize(random(static_cast<uint32_t>(damaged.size())));
        const size_t expandedSize = input.size() + random(64) - 32;
        const size_t cap = 4 * input.size();  // damaged tables can double and nest without end
        const std::optional<Bytes> expected = ReferenceDecode(damaged, expandedSize, cap);
        std::optional<Bytes> actual;
        try {
            actual = Decode(damaged, static_cast<int64_t>(expandedSize), static_cast<int64_t>(cap));
        } catch (const EVRAError&) {
        }
        ASSERT_EQ(actual, expected) << "trial " << trial;
        refused += !expected.has_value();
    }
    EXPECT_GT(refused, 100);  // the damage reached the refusals too
}

TEST(DecodeBytePairs, RefusesPairTablesPastTheLastCode) {
    // A skip from 128 by 128 would reach code 257.
    EXPECT_NE(DecodeError({255, 128, 255, 0, 0, 0, 0}, 10), "");
    // 128 explicit entries from code 129 would end at 257.
    Bytes overrun = {255, 128, 127};
    overrun.resize(overrun.size() + 128, 0);
    PutU32(overrun, 0);
    EXPECT_NE(DecodeError(overrun, 10).find("256"), std::string::npos);
}

TEST(DecodeBytePairs, RefusesDataEndingInsideABlock) {
    const Bytes whole = PairAt128Block({128, 128, 128});
    const std::string truncated = "バイトペア符号のデータがブロックの途中で終わっています";
    for (size_t cut : {1u, 2u, 3u, 4u, 6u, 8u, 9u, 10u}) {  // table, length, data
        const Bytes part(whole.begin(), whole.begin() + cut);
        EXPECT_EQ(DecodeError(part, 6), truncated) << "cut at " << cut;
    }
    EXPECT_EQ(DecodeError(whole, 6), "");
    // An explicit entry whose right byte is missing.
    EXPECT_EQ(DecodeError({128, 'A'}, 6), truncated);
}

TEST(DecodeBytePairs, RefusesPairCyclesAndHoldsTheDeepestNesting) {
    // 1 = (2, 0), 2 = (1, 0): expanding the left halves never ends.
    const Bytes cycle = Block(ExplicitTable({{1, 2, 0}, {2, 1, 0}}), {1});
    EXPECT_NE(DecodeError(cycle, 100000), "");
    // The deepest chain a table can hold (255 pairs, each the left half of the
    // one before, ending in literal 255) fits the stack.
    std::vector<std::array<uint8_t, 3>> chain;
    for (int code = 0; code < 255; ++code) {
        chain.push_back({static_cast<uint8_t>(code), static_cast<uint8_t>(code + 1), 255});
    }
    EXPECT_EQ(Decode(Block(ExplicitTable(chain), {0}), 256), Bytes(256, 255));
}

TEST(DecodeBytePairs, ReturnsEverythingTheDataExpandsToWithinTheCap) {
    // 256 KiB of zeros from 46 packed bytes: no ratio of packed to expanded
    // bytes is refused.
    const Bytes zeros = DoublingBlock(18);
    EXPECT_LT(zeros.size(), 50u);
    EXPECT_EQ(Decode(zeros, 1 << 18), Bytes(1 << 18, 0));
    // More than the directory says: all of it (the size is a minimum).
    EXPECT_EQ(Decode(zeros, 10), Bytes(1 << 18, 0));
    EXPECT_EQ(Decode(PairAt128Block({128, 128}), 3), (Bytes{65, 66, 65, 66}));
    // The cap bounds what the data expands to, and the size asked for.
    EXPECT_EQ(Decode(zeros, 0, 1 << 18).size(), size_t{1} << 18);
    EXPECT_NE(DecodeError(zeros, 0, (1 << 18) - 1), "");
    EXPECT_NE(DecodeError(PairAt128Block({128}), 11, 10), "");
    EXPECT_NE(DecodeError(PairAt128Block({128}), -1), "");
    // The hard cap of 1 GiB: 2^31 bytes are refused before one of them is
    // written (this would take seconds and 2 GiB otherwise), and so is a size
    // beyond the cap, whatever is given as the cap.
    EXPECT_NE(DecodeError(DoublingBlock(31), 0), "");
    EXPECT_NE(DecodeError(DoublingBlock(30), 0, 1 << 29).find("上限"), std::string::npos);
    EXPECT_NE(DecodeError({}, kMaxExpandedSize + 1, kMaxExpandedSize * 2), "");
}

TEST(DecodeBytePairs, RefusesPairsThatContainThemselves) {
    // 1 = (0, 1): the right half repeats without end.
    EXPECT_NE(DecodeError(Block(ExplicitTable({{1, 0, 1}}), {1}), 1000), "");
    // Unless such a pair is used, the block is fine.
    EXPECT_EQ(Decode(Block(ExplicitTable({{1, 0, 1}}), {2}), 1), Bytes{2});
}

}  // namespace
}  // namespace wbx
