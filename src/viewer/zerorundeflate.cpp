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

// The end of the run of zeros that starts at data[begin]: the first byte
// after it that is not zero, or size. Long runs are passed 32 bytes at a time.
size_t ZeroRunEnd(const uint8_t* data, size_t begin, size_t size) {
    size_t end = begin + 1;
    for (; end + 32 <= size; end += 32) {
        uint64_t a, b, c, d;
        std::memcpy(&a, data + end, 8);
        std::memcpy(&b, data + end + 8, 8);
        std::memcpy(&c, data + end + 16, 8);
        std::memcpy(&d, data + end + 24, 8);
        if ((a | b | c | d) != 0) break;
    }
    for (uint64_t word = 0; end + 8 <= size; end += 8) {
        std::memcpy(&word, data + end, 8);
        if (word != 0) break;
    }
    while (end < size && data[end] == 0) ++end;
    return end;
}

using TTokenCounts = std::array<uint32_t, 256 + kMaxMatch + 1>;

// The stream as tokens: a literal byte (0 ... 255) or a copy of the byte
// before, 3 ... 258 times (length + 256), written to tokens (room for size
// of them) and counted by token in counts (four tables, summed by the
// caller, so that a run of one byte does not wait on its own count).
// Returns the number of tokens.
size_t Tokenize(const uint8_t* data, size_t size, uint16_t* tokens, TTokenCounts* counts) {
    uint16_t* out = tokens;
    for (size_t i = 0; i < size;) {
        if (data[i] != 0) {
            for (; i < size && data[i] != 0; ++i) {
                *out++ = data[i];
                ++counts[i & 3][data[i]];
            }
            continue;
        }
        const size_t end = ZeroRunEnd(data, i, size);
        *out++ = 0;  // the run's first zero, which the copies repeat
        ++counts[0][0];
        size_t left = end - i - 1;
        while (left >= kMinMatch) {
            size_t take = std::min(left, kMaxMatch);
            if (left - take != 0 && left - take < kMinMatch) take = left - kMinMatch;
            *out++ = static_cast<uint16_t>(256 + take);
            ++counts[1][256 + take];
            left -= take;
        }
        for (; left > 0; --left) {
            *out++ = 0;
            ++counts[2][0];
        }
        i = end;
    }
    return static_cast<size_t>(out - tokens);
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

// Bits, low bit first, into a buffer sized beforehand: whole 32-bit words
// go out at once. Put takes at most 32 bits at a time; the buffer must have
// room for what is put plus four bytes.
class TBitWriter {
public:
    explicit TBitWriter(uint8_t* out) : out_(out) {}
    void Put(uint32_t value, int bits) {
        buffer_ |= static_cast<uint64_t>(value) << count_;
        count_ += bits;
        if (count_ < 32) return;
        const uint32_t word = static_cast<uint32_t>(buffer_);
        out_[0] = static_cast<uint8_t>(word);
        out_[1] = static_cast<uint8_t>(word >> 8);
        out_[2] = static_cast<uint8_t>(word >> 16);
        out_[3] = static_cast<uint8_t>(word >> 24);
        out_ += 4;
        buffer_ >>= 32;
        count_ -= 32;
    }
    // Pads the last byte with zero bits; returns the end of what was written.
    uint8_t* Finish() {
        for (; count_ > 0; count_ -= 8, buffer_ >>= 8) *out_++ = static_cast<uint8_t>(buffer_);
        count_ = 0;
        return out_;
    }

private:
    uint8_t* out_;
    uint64_t buffer_ = 0;
    int count_ = 0;
};

// The bits of a token: a literal's code, or a copy's length code, its extra
// bits and the one-bit code of distance 1, in one value of up to 21 bits.
struct TTokenBits {
    uint32_t Value = 0;
    uint8_t Count = 0;
};

}  // namespace

void ZlibCompressZeroRuns(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    TZeroRunBuffers buffers;
    ZlibCompressZeroRuns(data, size, out, buffers);
}

void ZlibCompressZeroRuns(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                          TZeroRunBuffers& buffers) {
    // The length symbol of each copy length, looked up rather than searched.
    static const std::array<uint8_t, kMaxMatch + 1> lengthIndex = [] {
        std::array<uint8_t, kMaxMatch + 1> index{};
        for (size_t length = kMinMatch; length <= kMaxMatch; ++length)
            index[length] = static_cast<uint8_t>(LengthSymbolIndex(length));
        return index;
    }();

    // One pass over the data: the tokens, and the counts of their symbols.
    // There are never more tokens than bytes. The buffers only grow: what
    // they hold beyond this stream is never read.
    if (buffers.TokenCapacity < size) {
        buffers.Tokens.reset();
        buffers.Tokens.reset(new uint16_t[size]);
        buffers.TokenCapacity = size;
    }
    std::vector<TTokenCounts> counts(4, TTokenCounts{});
    const uint16_t* tokens = buffers.Tokens.get();
    const size_t tokenCount = Tokenize(data, size, buffers.Tokens.get(), counts.data());
    std::vector<uint32_t> literals(kLiteralLengthSymbols, 0);
    for (size_t token = 0; token < 256; ++token)
        for (const TTokenCounts& table : counts) literals[token] += table[token];
    for (size_t length = kMinMatch; length <= kMaxMatch; ++length)
        for (const TTokenCounts& table : counts) literals[257 + lengthIndex[length]] += table[256 + length];
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

    // Every token's bits, ready to put.
    std::array<TTokenBits, 256 + kMaxMatch + 1> tokenBits{};
    for (size_t token = 0; token < 256; ++token)
        tokenBits[token] = {literalCodes[token], literalLengths[token]};
    for (size_t length = kMinMatch; length <= kMaxMatch; ++length) {
        const size_t index = lengthIndex[length];
        const size_t symbol = 257 + index;
        const uint32_t extra = static_cast<uint32_t>(length - kLengthBase[index]);
        const int codeBits = literalLengths[symbol];
        // The distance code's one bit is 0: it only adds to the count.
        tokenBits[256 + length] = {literalCodes[symbol] | extra << codeBits,
                                   static_cast<uint8_t>(codeBits + kLengthExtra[index] + 1)};
    }

    // The header and the code lengths take less than 2 KiB; a token at most
    // 21 bits; then the check value.
    const size_t bound = 2 + 2048 + tokenCount * 3 + 4 + 8;
    if (buffers.StreamCapacity < bound) {
        buffers.Stream.reset();
        buffers.Stream.reset(new uint8_t[bound]);
        buffers.StreamCapacity = bound;
    }
    uint8_t* const stream = buffers.Stream.get();
    stream[0] = 0x78;  // deflate, 32 KiB window
    stream[1] = 0x01;  // fastest; the check bits make 0x7801 a multiple of 31
    TBitWriter bits(stream + 2);
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
    for (size_t i = 0; i < tokenCount; ++i) bits.Put(tokenBits[tokens[i]].Value, tokenBits[tokens[i]].Count);
    bits.Put(literalCodes[kEndOfBlock], literalLengths[kEndOfBlock]);
    uint8_t* end = bits.Finish();
    const uint32_t adler = libdeflate_adler32(1, data, size);
    for (int shift = 24; shift >= 0; shift -= 8) *end++ = static_cast<uint8_t>(adler >> shift);
    out.assign(stream, end);
}

}  // namespace wbx
