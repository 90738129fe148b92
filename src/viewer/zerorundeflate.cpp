#include "viewer/zerorundeflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

namespace wbx {

namespace {

constexpr int kEndOfBlock = 256;
constexpr int kLiteralLengthSymbols = 286;
constexpr int kCodeLengthSymbols = 19;
constexpr int kMaxCodeLength = 15;
constexpr int kMaxCodeLengthCodeLength = 7;
constexpr size_t kMaxMatch = 258;
constexpr size_t kMinMatch = 3;

// Lengths 3 ... 258: the base length of each length symbol 257 + i and the
// number of extra bits after it.
constexpr std::array<uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                  15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                  67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// The order in which the code lengths of the code-length code are stored.
constexpr std::array<uint8_t, kCodeLengthSymbols> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                      11, 4,  12, 3, 13, 2, 14, 1, 15};

int LengthSymbolIndex(size_t length) {
    int index = 0;
    while (index + 1 < static_cast<int>(kLengthBase.size()) &&
           kLengthBase[static_cast<size_t>(index) + 1] <= length)
        ++index;
    return index;
}

// The stream as tokens: a literal byte (0 ... 255) or a copy of the byte
// before, 3 ... 258 times (length + 256).
template <typename Emit>
void Tokenize(const uint8_t* data, size_t size, Emit&& emit) {
    for (size_t i = 0; i < size;) {
        if (data[i] != 0) {
            emit(data[i++]);
            continue;
        }
        // Long runs are passed eight bytes at a time.
        size_t end = i + 1;
        for (uint64_t word = 0; end + 8 <= size; end += 8) {
            std::memcpy(&word, data + end, 8);
            if (word != 0) break;
        }
        while (end < size && data[end] == 0) ++end;
        emit(0);  // the run's first zero, which the copies repeat
        size_t left = end - i - 1;
        while (left >= kMinMatch) {
            size_t take = std::min(left, kMaxMatch);
            if (left - take != 0 && left - take < kMinMatch) take = left - kMinMatch;
            emit(static_cast<int>(256 + take));
            left -= take;
        }
        for (; left > 0; --left) emit(0);
        i = end;
    }
}

// Huffman code lengths for the frequencies, none longer than limit. Symbols
// that do not occur get no code; at least two symbols get one, so that the
// code is complete as inflaters require.
std::vector<uint8_t> CodeLengths(std::vector<uint32_t> frequencies, int limit) {
    const size_t count = frequencies.size();
    size_t used = static_cast<size_t>(
        std::count_if(frequencies.begin(), frequencies.end(), [](uint32_t f) { return f != 0; }));
    for (size_t s = 0; used < 2 && s < count; ++s)
        if (frequencies[s] == 0) {
            frequencies[s] = 1;
            ++used;
        }
    std::vector<uint8_t> lengths(count, 0);
    for (;;) {
        // Nodes: leaves first, then the merged ones; each knows its parent.
        std::vector<uint64_t> weight;
        std::vector<size_t> leaf;
        for (size_t s = 0; s < count; ++s)
            if (frequencies[s] != 0) {
                weight.push_back(frequencies[s]);
                leaf.push_back(s);
            }
        const size_t leaves = weight.size();
        std::vector<size_t> order(leaves);
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return weight[a] < weight[b]; });
        std::vector<size_t> parent(2 * leaves - 1, 0);
        // Two queues: the sorted leaves and the merged nodes (made in rising weight).
        size_t nextLeaf = 0, nextMerged = leaves;
        auto take = [&]() {
            if (nextLeaf < leaves &&
                (nextMerged >= weight.size() || weight[order[nextLeaf]] <= weight[nextMerged]))
                return order[nextLeaf++];
            return nextMerged++;
        };
        while (weight.size() < 2 * leaves - 1) {
            const size_t a = take(), b = take();
            parent[a] = parent[b] = weight.size();
            weight.push_back(weight[a] + weight[b]);
        }
        std::vector<int> depth(weight.size(), 0);
        for (size_t node = weight.size() - 1; node-- > 0;) depth[node] = depth[parent[node]] + 1;
        int longest = 0;
        for (size_t i = 0; i < leaves; ++i) {
            lengths[leaf[i]] = static_cast<uint8_t>(depth[i]);
            longest = std::max(longest, depth[i]);
        }
        if (longest <= limit) return lengths;
        // Too deep: flatten the frequencies and build again.
        for (uint32_t& f : frequencies)
            if (f != 0) f = f / 2 + 1;
    }
}

// Canonical codes of the lengths, bit-reversed for writing low bit first.
std::vector<uint16_t> Codes(const std::vector<uint8_t>& lengths) {
    std::array<uint16_t, kMaxCodeLength + 2> next{};
    std::array<uint16_t, kMaxCodeLength + 1> perLength{};
    for (const uint8_t length : lengths)
        if (length != 0) ++perLength[length];
    uint16_t code = 0;
    for (int bits = 1; bits <= kMaxCodeLength; ++bits) {
        code = static_cast<uint16_t>((code + perLength[static_cast<size_t>(bits) - 1]) << 1);
        next[static_cast<size_t>(bits)] = code;
    }
    std::vector<uint16_t> codes(lengths.size(), 0);
    for (size_t s = 0; s < lengths.size(); ++s) {
        const int length = lengths[s];
        if (length == 0) continue;
        uint16_t value = next[static_cast<size_t>(length)]++;
        uint16_t reversed = 0;
        for (int b = 0; b < length; ++b, value >>= 1)
            reversed = static_cast<uint16_t>((reversed << 1) | (value & 1));
        codes[s] = reversed;
    }
    return codes;
}

class TBitWriter {
public:
    explicit TBitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void Put(uint32_t value, int bits) {
        buffer_ |= static_cast<uint64_t>(value) << count_;
        count_ += bits;
        while (count_ >= 8) {
            out_.push_back(static_cast<uint8_t>(buffer_));
            buffer_ >>= 8;
            count_ -= 8;
        }
    }
    void Finish() {
        if (count_ > 0) out_.push_back(static_cast<uint8_t>(buffer_));
        buffer_ = 0;
        count_ = 0;
    }

private:
    std::vector<uint8_t>& out_;
    uint64_t buffer_ = 0;
    int count_ = 0;
};

}  // namespace

void ZlibCompressZeroRuns(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    std::vector<uint32_t> literals(kLiteralLengthSymbols, 0);
    Tokenize(data, size, [&](int token) {
        ++literals[static_cast<size_t>(
            token <= 255 ? token : 257 + LengthSymbolIndex(static_cast<size_t>(token - 256)))];
    });
    literals[kEndOfBlock] = 1;
    const std::vector<uint8_t> literalLengths = CodeLengths(literals, kMaxCodeLength);
    const std::vector<uint16_t> literalCodes = Codes(literalLengths);
    // One distance, 1, coded in one bit.
    const std::vector<uint8_t> distanceLengths = {1};

    int literalCount = kLiteralLengthSymbols;
    while (literalCount > 257 && literalLengths[static_cast<size_t>(literalCount) - 1] == 0) --literalCount;
    // The code lengths of both codes in a row, runs of zeros shortened (17, 18).
    std::vector<uint8_t> all(literalLengths.begin(), literalLengths.begin() + literalCount);
    all.insert(all.end(), distanceLengths.begin(), distanceLengths.end());
    std::vector<std::pair<uint8_t, uint8_t>> lengthTokens;  // symbol, extra value
    for (size_t i = 0; i < all.size();) {
        size_t run = 1;
        while (i + run < all.size() && all[i + run] == all[i]) ++run;
        if (all[i] == 0 && run >= 11) {
            run = std::min<size_t>(run, 138);
            lengthTokens.emplace_back(18, static_cast<uint8_t>(run - 11));
        } else if (all[i] == 0 && run >= 3) {
            lengthTokens.emplace_back(17, static_cast<uint8_t>(run - 3));
        } else {
            run = 1;
            lengthTokens.emplace_back(all[i], 0);
        }
        i += run;
    }
    std::vector<uint32_t> lengthFrequencies(kCodeLengthSymbols, 0);
    for (const auto& [symbol, extra] : lengthTokens) ++lengthFrequencies[symbol];
    const std::vector<uint8_t> lengthLengths = CodeLengths(lengthFrequencies, kMaxCodeLengthCodeLength);
    const std::vector<uint16_t> lengthCodes = Codes(lengthLengths);
    int lengthCount = kCodeLengthSymbols;
    while (lengthCount > 4 && lengthLengths[kCodeLengthOrder[static_cast<size_t>(lengthCount) - 1]] == 0)
        --lengthCount;

    out.clear();
    out.push_back(0x78);  // deflate, 32 KiB window
    out.push_back(0x01);  // fastest; the check bits make 0x7801 a multiple of 31
    TBitWriter bits(out);
    bits.Put(1, 1);  // the last block
    bits.Put(2, 2);  // Huffman codes of its own
    bits.Put(static_cast<uint32_t>(literalCount - 257), 5);
    bits.Put(0, 5);  // one distance code
    bits.Put(static_cast<uint32_t>(lengthCount - 4), 4);
    for (int i = 0; i < lengthCount; ++i)
        bits.Put(lengthLengths[kCodeLengthOrder[static_cast<size_t>(i)]], 3);
    for (const auto& [symbol, extra] : lengthTokens) {
        bits.Put(lengthCodes[symbol], lengthLengths[symbol]);
        if (symbol == 17) bits.Put(extra, 3);
        if (symbol == 18) bits.Put(extra, 7);
    }
    Tokenize(data, size, [&](int token) {
        if (token <= 255) {
            bits.Put(literalCodes[static_cast<size_t>(token)], literalLengths[static_cast<size_t>(token)]);
            return;
        }
        const size_t length = static_cast<size_t>(token - 256);
        const int index = LengthSymbolIndex(length);
        const size_t symbol = static_cast<size_t>(257 + index);
        bits.Put(literalCodes[symbol], literalLengths[symbol]);
        bits.Put(static_cast<uint32_t>(length - kLengthBase[static_cast<size_t>(index)]),
                 kLengthExtra[static_cast<size_t>(index)]);
        bits.Put(0, 1);  // distance 1
    });
    bits.Put(literalCodes[kEndOfBlock], literalLengths[kEndOfBlock]);
    bits.Finish();
    const uint32_t adler = libdeflate_adler32(1, data, size);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(adler >> shift));
}

}  // namespace wbx
