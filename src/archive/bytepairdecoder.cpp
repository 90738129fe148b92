#include "bytepairdecoder.h"

#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "archive/vraerror.h"
#include "base/format.h"

namespace wbx {
namespace {

constexpr int kCodes = 256;
constexpr int kStackSize = 256;  // bytes, as the format's encoders assume

[[noreturn]] void TooLong(size_t expandedSize) {
    throw EVRAError(Format("バイトペア符号の展開結果が展開後サイズ %d バイトを越えています",
                           static_cast<int64_t>(expandedSize)));
}

[[noreturn]] void Truncated() { throw EVRAError("バイトペア符号のデータがブロックの途中で終わっています"); }

// Expands the blocks of in into out, from its start.
void DecodeBlocks(std::span<const uint8_t> in, std::span<uint8_t> out) {
    // right[] keeps what earlier blocks put there; it is only read for codes
    // whose left entry the current block has set to a pair.
    uint8_t left[kCodes];
    uint8_t right[kCodes] = {};
    uint8_t stack[kStackSize];                    // right halves still to expand
    std::array<size_t, kCodes> expandedAt{};      // where in out a pair code was last expanded
    std::array<uint32_t, kCodes> expandedLength;  // and to how many bytes (0: not yet in this block)
    size_t pos = 0;
    size_t written = 0;

    while (pos < in.size()) {
        // Pair table. A count byte k <= 127 introduces k + 1 explicit entries;
        // k > 127 skips k - 127 codes (they stay literals) and introduces one.
        for (int i = 0; i < kCodes; ++i) left[i] = static_cast<uint8_t>(i);
        int code = 0;
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
                left[code] = x;
                if (x != code) {
                    if (pos >= in.size()) Truncated();
                    right[code] = in[pos++];
                }
            }
            if (code == kCodes) break;
            if (pos >= in.size()) Truncated();
            k = in[pos++];
        }

        // Packed length, then the packed bytes, all of which must be present.
        if (in.size() - pos < 4) Truncated();
        const uint32_t length = static_cast<uint32_t>(in[pos]) | static_cast<uint32_t>(in[pos + 1]) << 8 |
                                static_cast<uint32_t>(in[pos + 2]) << 16 |
                                static_cast<uint32_t>(in[pos + 3]) << 24;
        pos += 4;
        if (length > in.size() - pos) Truncated();
        const std::span<const uint8_t> data = in.subspan(pos, length);
        pos += length;

        // Expansion. Pushing right then left and popping left at once is the
        // same as keeping only the right halves on the stack; a pair needs two
        // free stack bytes in the original scheme, so that is the limit kept.
        //
        // Within a block a pair code always expands to the same bytes, so once
        // a code has been expanded its output is remembered (where it lies in
        // out, and how long it is) and later occurrences copy it. Only
        // expansions that completed are remembered, so the copy can meet no
        // error but running past the expanded size, which is checked.
        expandedLength.fill(0);
        for (uint8_t code : data) {
            if (left[code] == code) {
                if (written == out.size()) TooLong(out.size());
                out[written++] = code;
                continue;
            }
            if (const uint32_t known = expandedLength[code]; known != 0) {
                if (out.size() - written < known) TooLong(out.size());
                std::memcpy(&out[written], &out[expandedAt[code]], known);
                written += known;
                continue;
            }
            const size_t start = written;
            uint8_t x = code;
            int depth = 0;
            for (;;) {
                if (left[x] == x) {
                    if (written == out.size()) TooLong(out.size());
                    out[written++] = x;
                    if (depth == 0) break;
                    x = stack[--depth];
                } else {
                    if (depth + 2 > kStackSize) {
                        throw EVRAError(
                            "バイトペア符号の入れ子が深すぎます（256バイトのスタックを越えました）");
                    }
                    stack[depth++] = right[x];
                    x = left[x];
                }
            }
            expandedAt[code] = start;
            expandedLength[code] = static_cast<uint32_t>(written - start);  // out is at most 1 GiB
        }
    }
}

}  // namespace

std::unique_ptr<TMemoryStream> DecodeBytePairs(TStream& packed, int64_t expandedSize) {
    const int64_t start = packed.Position();
    const int64_t packedSize = packed.Remaining();
    if (expandedSize < 0 || expandedSize > kMaxExpandedSize ||
        expandedSize > packedSize * kMaxExpansionRatio) {
        throw EVRAError(Format("バイトペア符号の展開後サイズ %d バイトは不正です（圧縮データ %d バイト）",
                               expandedSize, packedSize));
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
    result->SetSize(expandedSize);  // zero-filled: a short expansion leaves a zero tail
    DecodeBlocks(std::span<const uint8_t>(in, static_cast<size_t>(packedSize)),
                 std::span<uint8_t>(result->Memory(), static_cast<size_t>(expandedSize)));
    packed.SetPosition(start + packedSize);
    result->SetPosition(0);
    return result;
}

}  // namespace wbx
