#include "bytepairdecoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "archive/vraerror.h"
#include "base/format.h"

namespace wbx {
namespace {

constexpr int kCodes = 256;
constexpr uint64_t kEndless = ~uint64_t{0};  // the length of a pair that contains itself

[[noreturn]] void TooLong(int64_t cap) {
    throw EVRAError(Format("バイトペア符号の展開結果が上限 %d バイトを越えています", cap));
}

[[noreturn]] void Truncated() { throw EVRAError("バイトペア符号のデータがブロックの途中で終わっています"); }

[[noreturn]] void Endless(int code) {
    throw EVRAError(Format("バイトペア符号のコード %d は自分自身を含んでいます", code));
}

// One block's pair table with what each code expands to.
class TPairTable {
public:
    // Reads the table at in[pos], moving pos behind it. right[] keeps what
    // earlier blocks put there; it is only read for codes whose left entry
    // this block sets to a pair.
    void Read(std::span<const uint8_t> in, size_t& pos) {
        for (int i = 0; i < kCodes; ++i) left_[i] = static_cast<uint8_t>(i);
        // A count byte k <= 127 introduces k + 1 explicit entries; k > 127
        // skips k - 127 codes (they stay literals) and introduces one.
        int code = 0;
        if (pos >= in.size()) Truncated();
        int k = in[pos++];
        for (;;) {
            if (k > 127) {
                code += k - 127;
                k = 0;
            }
            if (code == kCodes) break;
            if (code + k + 1 > kCodes) {
                throw EVRAError(Format(
                    "バイトペア符号の対応表が256コードを越えています（コード %d から %d 個）", code, k + 1));
            }
            for (int n = 0; n <= k; ++n, ++code) {
                if (pos >= in.size()) Truncated();
                const uint8_t x = in[pos++];
                left_[code] = x;
                if (x != code) {
                    if (pos >= in.size()) Truncated();
                    right_[code] = in[pos++];
                }
            }
            if (code == kCodes) break;
            if (pos >= in.size()) Truncated();
            k = in[pos++];
        }
        measured_.fill(false);
    }

    bool IsLiteral(uint8_t code) const { return left_[code] == code; }
    uint8_t Left(uint8_t code) const { return left_[code]; }
    uint8_t Right(uint8_t code) const { return right_[code]; }

    // The bytes code expands to (at most kEndless - 1); raises for a pair
    // that contains itself. Pairs without such a cycle nest at most 255 deep
    // (a chain of left halves over every code but one literal), which the
    // format's 256-byte stack of pending right halves always holds: only a
    // cycle overflows it, or expands without end.
    uint64_t Length(uint8_t code) {
        Measure(code);
        if (length_[code] == kEndless) Endless(code);
        return length_[code];
    }

private:
    // length_ of code and of everything it contains.
    void Measure(uint8_t code) {
        if (measured_[code]) return;
        if (IsLiteral(code)) {
            length_[code] = 1;
            measured_[code] = true;
            return;
        }
        // Pairs nest at most 256 deep before they repeat a code, so the
        // recursion is bounded; a code met again while it is being measured
        // contains itself.
        if (measuring_[code]) {
            length_[code] = kEndless;
            return;
        }
        measuring_[code] = true;
        Measure(left_[code]);
        Measure(right_[code]);
        measuring_[code] = false;
        const uint64_t leftLength = length_[left_[code]];
        const uint64_t rightLength = length_[right_[code]];
        length_[code] = leftLength >= kEndless - rightLength ? kEndless : leftLength + rightLength;
        measured_[code] = true;
    }

    std::array<uint8_t, kCodes> left_{};
    std::array<uint8_t, kCodes> right_{};
    std::array<uint64_t, kCodes> length_{};
    std::array<bool, kCodes> measured_{};
    std::array<bool, kCodes> measuring_{};
};

// Writes what code expands to at out[written], left half first. Within a
// block a pair code always expands to the same bytes, so each pair's first
// expansion is remembered (where it lies in out) and later ones copy it.
class TBlockWriter {
public:
    TBlockWriter(const TPairTable& table, std::vector<uint8_t>& out, size_t& written)
        : table_(table), out_(out), written_(written) {
        at_.fill(kNotYet);
    }

    void Write(uint8_t code) {
        if (table_.IsLiteral(code)) {
            out_[written_++] = code;
            return;
        }
        if (at_[code] != kNotYet) {
            std::memcpy(&out_[written_], &out_[at_[code]], length_[code]);
            written_ += length_[code];
            return;
        }
        const size_t start = written_;
        Write(table_.Left(code));
        Write(table_.Right(code));
        at_[code] = start;
        length_[code] = written_ - start;
    }

private:
    static constexpr size_t kNotYet = ~size_t{0};
    const TPairTable& table_;
    std::vector<uint8_t>& out_;
    size_t& written_;
    std::array<size_t, kCodes> at_;
    std::array<size_t, kCodes> length_{};
};

uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Expands the blocks of in into out from its start; out grows beyond its size
// when the blocks expand further, up to cap bytes. Returns the bytes written.
size_t DecodeBlocks(std::span<const uint8_t> in, std::vector<uint8_t>& out, int64_t cap) {
    TPairTable table;
    size_t pos = 0;
    size_t written = 0;
    while (pos < in.size()) {
        table.Read(in, pos);

        // Packed length, then the packed bytes, all of which must be present.
        if (in.size() - pos < 4) Truncated();
        const uint32_t length = LoadU32(&in[pos]);
        pos += 4;
        if (length > in.size() - pos) Truncated();
        const std::span<const uint8_t> data = in.subspan(pos, length);
        pos += length;

        // The block's whole expansion is known before it is written.
        uint64_t expansion = 0;
        for (const uint8_t code : data) {
            expansion += table.Length(code);
            if (expansion > static_cast<uint64_t>(cap) - written) TooLong(cap);
        }
        if (written + expansion > out.size()) out.resize(written + expansion);
        TBlockWriter writer(table, out, written);
        for (const uint8_t code : data) writer.Write(code);
    }
    return written;
}

}  // namespace

std::unique_ptr<TMemoryStream> DecodeBytePairs(TStream& packed, int64_t expandedSize,
                                               int64_t maxExpandedSize) {
    const int64_t cap = std::clamp<int64_t>(maxExpandedSize, 0, kMaxExpandedSize);
    const int64_t start = packed.Position();
    const int64_t packedSize = packed.Remaining();
    if (expandedSize < 0 || expandedSize > cap) {
        throw EVRAError(
            Format("バイトペア符号の展開後サイズ %d バイトは不正です（上限 %d バイト）", expandedSize, cap));
    }

    // Work on the packed bytes in place when they are in memory already.
    std::vector<uint8_t> copy;
    const uint8_t* in = nullptr;
    if (packedSize == 0) {
        // nothing to read (the position may even lie past the end)
    } else if (auto* memory = dynamic_cast<TMemoryStream*>(&packed)) {
        in = memory->Memory() + start;
    } else {
        copy.resize(static_cast<size_t>(packedSize));
        packed.ReadBuffer(copy.data(), packedSize);
        in = copy.data();
    }

    auto result = std::make_unique<TMemoryStream>();
    std::vector<uint8_t>& out = result->Bytes();
    out.resize(static_cast<size_t>(expandedSize));  // zero-filled: a short expansion leaves a zero tail
    DecodeBlocks(std::span<const uint8_t>(in, static_cast<size_t>(packedSize)), out, cap);
    packed.SetPosition(start + packedSize);
    result->SetPosition(0);
    return result;
}

}  // namespace wbx
