#include "viewer/pngsummary.h"

#include <libdeflate.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace wbx {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

bool IsHex(const std::string& text) {
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// A decimal number from 0 to 2^31 - 1 taking all of text, written as
// std::to_string writes it: digits only, no leading zero (but "0" itself).
std::optional<int32_t> Number(std::string_view text) {
    int32_t value = 0;
    if (text.empty() || text.size() > 10 || text[0] < '0' || text[0] > '9') return std::nullopt;
    if (text[0] == '0' && text.size() > 1) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

}  // namespace

std::optional<TPngInfo> SummarizePng(std::span<const uint8_t> bytes) {
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) return std::nullopt;
    TPngInfo info;
    size_t at = 8;
    bool first = true;
    while (true) {
        if (bytes.size() - at < 12) return std::nullopt;
        const uint32_t length = BigEndian32(&bytes[at]);
        if (length > bytes.size() - at - 12) return std::nullopt;
        const uint8_t* type = &bytes[at + 4];
        const uint8_t* data = type + 4;
        if (libdeflate_crc32(0, type, size_t{length} + 4) != BigEndian32(data + length)) return std::nullopt;
        const bool header = std::memcmp(type, "IHDR", 4) == 0;
        if (first != header) return std::nullopt;
        if (header) {
            if (length != 13) return std::nullopt;
            const uint32_t width = BigEndian32(data), height = BigEndian32(data + 4);
            if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return std::nullopt;
            info.Width = static_cast<int32_t>(width);
            info.Height = static_cast<int32_t>(height);
            info.HasAlpha = data[9] == 4 || data[9] == 6;
        } else if (std::memcmp(type, "tEXt", 4) == 0) {
            const auto* text = reinterpret_cast<const char*>(data);
            const size_t keyword = std::find(text, text + length, '\0') - text;
            if (keyword == length) return std::nullopt;  // a text chunk has its NUL
            info.Texts.push_back(
                {std::string(text, keyword), std::string(text + keyword + 1, length - keyword - 1)});
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            if (at + 12 + length != bytes.size()) return std::nullopt;  // something after the end
            return info;
        }
        first = false;
        at += size_t{length} + 12;
    }
}

std::string FormatStamp(const TPictureStamp& stamp) {
    return "source=" + stamp.Source + " figure=" + std::to_string(stamp.Figure.X) + "," +
           std::to_string(stamp.Figure.Y) + "," + std::to_string(stamp.Figure.Width) + "," +
           std::to_string(stamp.Figure.Height);
}

std::optional<TPictureStamp> ParseStamp(const std::string& text) {
    constexpr std::string_view kSource = "source=", kFigure = " figure=";
    if (text.compare(0, kSource.size(), kSource) != 0 || text.size() < kSource.size() + 64 + kFigure.size())
        return std::nullopt;
    TPictureStamp stamp;
    stamp.Source = text.substr(kSource.size(), 64);
    if (!IsHex(stamp.Source)) return std::nullopt;
    if (text.compare(kSource.size() + 64, kFigure.size(), kFigure) != 0) return std::nullopt;
    std::string_view rest(text);
    rest.remove_prefix(kSource.size() + 64 + kFigure.size());
    int32_t values[4];
    for (int i = 0; i < 4; ++i) {
        const size_t comma = i < 3 ? rest.find(',') : rest.size();
        if (comma == std::string_view::npos) return std::nullopt;
        const std::optional<int32_t> value = Number(rest.substr(0, comma));
        if (!value) return std::nullopt;
        values[i] = *value;
        rest.remove_prefix(i < 3 ? comma + 1 : comma);
    }
    stamp.Figure = {values[0], values[1], values[2], values[3]};
    return stamp;
}

}  // namespace wbx
