#pragma once
// Test-side tools for VRA archives: a small byte-pair encoder and an archive
// writer. They exist so that tests, benchmarks and the fuzz seeds can build
// their own archives; they are deliberately simple, not good compressors.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "archive/vraformat.h"

namespace wbx::testing {

using Bytes = std::vector<uint8_t>;

inline void PutU32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void PatchU32(Bytes& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

inline Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

struct EncoderOptions {
    size_t blockSize = 4096;  // input bytes per block
    int minPairCount = 3;     // a pair must occur this often to get a code
    bool useSkips = true;     // describe runs of literal codes with count bytes > 127
};

// The pair table of one block: pair[c] is set for codes that stand for a pair.
struct PairTable {
    std::array<uint8_t, 256> left{}, right{};
    std::array<bool, 256> pair{};
};

// Writes a pair table: count byte k <= 127 then k + 1 entries, or k > 127 to
// skip k - 127 literal codes followed by one entry unless the table is done.
// An entry is the left byte (the code itself for a literal) and, for a pair,
// the right byte.
inline void EmitTable(const PairTable& table, bool useSkips, Bytes& out) {
    auto emitEntry = [&](int code) {
        if (table.pair[code]) {
            out.push_back(table.left[code]);
            out.push_back(table.right[code]);
        } else {
            out.push_back(static_cast<uint8_t>(code));
        }
    };
    int code = 0;
    while (code < 256) {
        int literals = 0;
        while (code + literals < 256 && !table.pair[code + literals]) ++literals;
        if (useSkips && literals > 0) {
            const int skip = std::min(literals, 128);
            out.push_back(static_cast<uint8_t>(127 + skip));
            code += skip;
            if (code == 256) break;
            emitEntry(code++);
        } else {
            int run = 0;
            if (useSkips) {
                while (code + run < 256 && run < 128 && table.pair[code + run]) ++run;
            } else {
                run = std::min(128, 256 - code);
            }
            out.push_back(static_cast<uint8_t>(run - 1));
            for (int i = 0; i < run; ++i) emitEntry(code++);
        }
    }
}

// One block: repeatedly give the most frequent adjacent pair an unused code.
inline void EncodeBlock(std::span<const uint8_t> input, const EncoderOptions& options, Bytes& out) {
    Bytes data(input.begin(), input.end());
    PairTable table;
    std::array<bool, 256> used{};
    for (uint8_t b : data) used[b] = true;
    std::vector<uint32_t> counts(65536, 0);
    int nextFree = 0;
    for (;;) {
        while (nextFree < 256 && used[nextFree]) ++nextFree;
        if (nextFree == 256 || data.size() < 2) break;
        uint32_t best = 0, bestCount = 0;
        for (size_t i = 0; i + 1 < data.size(); ++i) {
            const uint32_t key = data[i] << 8 | data[i + 1];
            if (++counts[key] > bestCount) bestCount = counts[key], best = key;
        }
        for (size_t i = 0; i + 1 < data.size(); ++i) counts[data[i] << 8 | data[i + 1]] = 0;
        if (bestCount < static_cast<uint32_t>(options.minPairCount)) break;
        const uint8_t a = static_cast<uint8_t>(best >> 8), b = static_cast<uint8_t>(best);
        const uint8_t code = static_cast<uint8_t>(nextFree);
        size_t w = 0;
        for (size_t r = 0; r < data.size(); ++r) {
            if (r + 1 < data.size() && data[r] == a && data[r + 1] == b) {
                data[w++] = code;
                ++r;
            } else {
                data[w++] = data[r];
            }
        }
        data.resize(w);
        table.pair[code] = true;
        table.left[code] = a;
        table.right[code] = b;
        used[code] = true;
    }
    EmitTable(table, options.useSkips, out);
    PutU32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

inline Bytes EncodeBytePairs(std::span<const uint8_t> input, const EncoderOptions& options = {}) {
    Bytes out;
    for (size_t start = 0; start < input.size(); start += options.blockSize) {
        EncodeBlock(input.subspan(start, std::min(options.blockSize, input.size() - start)), options, out);
    }
    return out;
}

// Data with plenty of repeated pairs and a limited alphabet: words from a
// small vocabulary, deterministic for a seed.
inline Bytes RepetitiveText(size_t size, uint32_t seed = 1) {
    static const char* const words[] = {"avatar ", "hair ", "upper ", "bottom ",    "shoes ",   "wear ",
                                        "face ",   "body ", "type1 ", "accessory ", "costume\n"};
    Bytes out;
    uint32_t state = seed;
    while (out.size() < size) {
        state = state * 1664525u + 1013904223u;
        const char* word = words[(state >> 16) % std::size(words)];
        out.insert(out.end(), word, word + std::strlen(word));
    }
    out.resize(size);
    return out;
}

inline Bytes RandomBytes(size_t size, uint32_t seed = 7) {
    Bytes out(size);
    uint32_t state = seed;
    for (auto& b : out) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(state >> 24);
    }
    return out;
}

// Builds a VRA file: header, directory, then each entry's data in order.
class ArchiveWriter {
public:
    explicit ArchiveWriter(bool packed, EncoderOptions options = {}) : packed_(packed), options_(options) {}

    void Add(std::string id, Bytes contents) { entries_.push_back({std::move(id), std::move(contents)}); }

    Bytes Build() const {
        Bytes out;
        PutU32(out, packed_ ? kVRAPacked : 0);
        out.insert(out.end(), kVRASignature, kVRASignature + 4);
        PutU32(out, static_cast<uint32_t>(entries_.size()));
        out.resize(kVRAHeaderSize, 0);
        const size_t directoryStart = out.size();
        out.resize(directoryStart + entries_.size() * kVRAEntrySize, 0);
        for (size_t i = 0; i < entries_.size(); ++i) {
            const Entry& entry = entries_[i];
            const Bytes stored = packed_ ? EncodeBytePairs(entry.contents, options_) : entry.contents;
            const size_t field = directoryStart + i * kVRAEntrySize;
            PatchU32(out, field, static_cast<uint32_t>(out.size()));
            PatchU32(out, field + 4, static_cast<uint32_t>(stored.size()));
            PatchU32(out, field + 8, static_cast<uint32_t>(entry.contents.size()));
            const size_t idLength = std::min<size_t>(entry.id.size(), kVRAIdSize);
            std::memcpy(out.data() + field + kVRAIdOffset, entry.id.data(), idLength);
            out.insert(out.end(), stored.begin(), stored.end());
        }
        return out;
    }

    // Byte offset of entry i's directory record in the built file.
    static size_t EntryRecord(size_t i) { return kVRAHeaderSize + i * kVRAEntrySize; }

private:
    struct Entry {
        std::string id;
        Bytes contents;
    };
    bool packed_;
    EncoderOptions options_;
    std::vector<Entry> entries_;
};

}  // namespace wbx::testing
