#include "viewer/colorquantizer.h"

#include <algorithm>
#include <stdexcept>

namespace wbx {

namespace {

constexpr size_t kExactLimit = 256;

uint8_t Widen5(uint32_t v) { return static_cast<uint8_t>(v << 3 | v >> 2); }

// A box of the median cut: a run of the sorted histogram entries.
struct TBox {
    size_t Begin, End;  // entries [Begin, End)
    uint64_t Pixels;
    int Channel;     // the longest side: 0 red, 1 green, 2 blue
    uint32_t Range;  // its length in 5-bit steps
};

uint32_t Channel(uint32_t key, int channel) { return key >> (10 - 5 * channel) & 31; }

}  // namespace

void TColorQuantizer::AddFrame(const TRgbaImage& frame) {
    const uint8_t* p = frame.Pixels.data();
    const size_t count = frame.Pixels.size() / 4;
    for (size_t i = 0; i < count; ++i, p += 4) {
        if (frame.HasAlpha && p[3] < 128) continue;
        ++counts15_[Key15(p[0], p[1], p[2])];
        if (exactOverflow_) continue;
        const uint32_t rgb = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        const auto at = std::lower_bound(exact_.begin(), exact_.end(), rgb);
        if (at != exact_.end() && *at == rgb) continue;
        if (exact_.size() == kExactLimit) {
            exactOverflow_ = true;
            exact_.clear();
            continue;
        }
        exact_.insert(at, rgb);
    }
}

void TColorQuantizer::Build(int maxColors) {
    if (maxColors < 1 || maxColors > 256) throw std::invalid_argument("palette size must be 1 to 256");
    palette_.clear();
    exactPalette_ = !exactOverflow_ && exact_.size() <= static_cast<size_t>(maxColors);
    if (exactPalette_) {
        for (const uint32_t rgb : exact_)
            palette_.push_back({uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)});
        if (palette_.empty()) palette_.push_back({0, 0, 0});
    } else {
        std::vector<uint32_t> keys;  // the colours present
        for (uint32_t key = 0; key < counts15_.size(); ++key)
            if (counts15_[key] != 0) keys.push_back(key);
        const auto measure = [&](size_t begin, size_t end) {
            TBox box{begin, end, 0, 0, 0};
            uint32_t low[3] = {31, 31, 31}, high[3] = {0, 0, 0};
            for (size_t i = begin; i < end; ++i) {
                box.Pixels += counts15_[keys[i]];
                for (int c = 0; c < 3; ++c) {
                    low[c] = std::min(low[c], Channel(keys[i], c));
                    high[c] = std::max(high[c], Channel(keys[i], c));
                }
            }
            for (int c = 0; c < 3; ++c) {
                if (high[c] - low[c] > box.Range || (box.Range == 0 && c == 0)) {
                    box.Range = high[c] - low[c];
                    box.Channel = c;
                }
            }
            return box;
        };
        std::vector<TBox> boxes;
        if (!keys.empty()) boxes.push_back(measure(0, keys.size()));
        while (boxes.size() < static_cast<size_t>(maxColors)) {
            // The most populous box that can still be cut (ties: the first).
            size_t pick = boxes.size();
            for (size_t b = 0; b < boxes.size(); ++b) {
                if (boxes[b].End - boxes[b].Begin < 2 || boxes[b].Range == 0) continue;
                if (pick == boxes.size() ||
                    boxes[b].Pixels * (boxes[b].Range + 1) > boxes[pick].Pixels * (boxes[pick].Range + 1))
                    pick = b;
            }
            if (pick == boxes.size()) break;
            const TBox box = boxes[pick];
            const int channel = box.Channel;
            std::stable_sort(keys.begin() + static_cast<ptrdiff_t>(box.Begin),
                             keys.begin() + static_cast<ptrdiff_t>(box.End), [&](uint32_t a, uint32_t b) {
                                 return Channel(a, channel) < Channel(b, channel);
                             });
            // Cut at the median pixel, keeping at least one colour on each side.
            uint64_t seen = 0;
            size_t cut = box.Begin + 1;
            for (size_t i = box.Begin; i < box.End - 1; ++i) {
                seen += counts15_[keys[i]];
                cut = i + 1;
                if (seen * 2 >= box.Pixels) break;
            }
            boxes[pick] = measure(box.Begin, cut);
            boxes.push_back(measure(cut, box.End));
        }
        for (const TBox& box : boxes) {
            uint64_t sum[3] = {0, 0, 0};
            for (size_t i = box.Begin; i < box.End; ++i)
                for (int c = 0; c < 3; ++c)
                    sum[c] += uint64_t{Widen5(Channel(keys[i], c))} * counts15_[keys[i]];
            std::array<uint8_t, 3> colour{};
            for (int c = 0; c < 3; ++c)
                colour[size_t(c)] = static_cast<uint8_t>((sum[c] + box.Pixels / 2) / box.Pixels);
            palette_.push_back(colour);
        }
        if (palette_.empty()) palette_.push_back({0, 0, 0});
    }
    // Every 15-bit colour to its nearest entry (ties: the lower index).
    lookup15_.assign(32768, 0);
    for (uint32_t key = 0; key < 32768; ++key) {
        const int r = Widen5(Channel(key, 0)), g = Widen5(Channel(key, 1)), b = Widen5(Channel(key, 2));
        int best = 0;
        int bestDistance = 1 << 30;
        for (size_t i = 0; i < palette_.size(); ++i) {
            const int dr = r - palette_[i][0], dg = g - palette_[i][1], db = b - palette_[i][2];
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = static_cast<int>(i);
            }
        }
        lookup15_[key] = static_cast<uint8_t>(best);
    }
}

uint8_t TColorQuantizer::IndexOf(uint8_t red, uint8_t green, uint8_t blue) const {
    if (exactPalette_) {
        const uint32_t rgb = uint32_t(red) << 16 | uint32_t(green) << 8 | blue;
        const auto at = std::lower_bound(exact_.begin(), exact_.end(), rgb);
        if (at != exact_.end() && *at == rgb) return static_cast<uint8_t>(at - exact_.begin());
    }
    return lookup15_[Key15(red, green, blue)];
}

}  // namespace wbx
