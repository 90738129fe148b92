#include "figurepreview.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/filestream.h"
#include "sampledata/vector3.h"

namespace wbx::testing {
namespace {

using sampledata::Vec3f;

uint32_t TexelRgb(uint16_t texel) {
    auto expand = [](int v) { return static_cast<uint32_t>((v * 255 + 15) / 31); };
    return expand((texel >> 10) & 31) << 16 | expand((texel >> 5) & 31) << 8 | expand(texel & 31);
}

struct Projected {
    float X, Y, Z;  // screen pixels, view depth
    float U, V;
    float Light;
};

}  // namespace

PreviewImage RenderPreview(const sampledata::ModelFile& model, const Texture& texture, int yaw, int pitch) {
    const float turn = 2 * 3.14159265f / 4096;
    const float y = static_cast<float>(yaw & 4095) * turn, p = static_cast<float>(pitch & 4095) * turn;
    // The model frame's rows: R, Up, Dir; a point lands at x R + (y - 36) Up + z Dir.
    const Vec3f up{0, std::cos(p), -std::sin(p)};
    const Vec3f dir{-std::sin(y), 0, std::cos(y)};
    const Vec3f right = sampledata::Normalized(sampledata::Cross(up, dir));
    const float xs = 1 / std::tan(3.14159265f / 8), ys = xs / 0.75f;

    const sampledata::ModelObject& object = model.Objects.at(0);
    std::vector<Projected> points;
    for (const sampledata::ModelVertex& v : object.Vertices) {
        const Vec3f world = right * v.X + up * (v.Y - 36) + dir * v.Z;
        const Vec3f normal = right * v.NX + up * v.NY + dir * v.NZ;
        // View space: the camera's right is world -x, it looks down -z from z = 130.
        const float vx = -world.X, vy = world.Y, vz = 130 - world.Z;
        const float facing = std::max(0.0f, normal.Z);  // light shines along -z, from the camera
        const float light = std::min(1.0f, 0.8f + 0.1f * facing + (facing > 0 ? 0.1f : 0.0f));
        points.push_back({320 + xs * vx / vz * 320, 240 - ys * vy / vz * 240, vz, v.U, v.V, light});
    }
    PreviewImage image;
    std::vector<float> depth(image.Pixels.size(), std::numeric_limits<float>::infinity());
    for (const sampledata::ModelTriangle& t : object.Triangles) {
        const Projected* q[3] = {&points[t.A], &points[t.B], &points[t.C]};
        const float area =
            (q[1]->X - q[0]->X) * (q[2]->Y - q[0]->Y) - (q[2]->X - q[0]->X) * (q[1]->Y - q[0]->Y);
        if (std::fabs(area) < 1e-6f) continue;
        const int x0 = std::max(0, static_cast<int>(std::floor(std::min({q[0]->X, q[1]->X, q[2]->X}))));
        const int x1 = std::min(PreviewImage::kWidth - 1,
                                static_cast<int>(std::ceil(std::max({q[0]->X, q[1]->X, q[2]->X}))));
        const int y0 = std::max(0, static_cast<int>(std::floor(std::min({q[0]->Y, q[1]->Y, q[2]->Y}))));
        const int y1 = std::min(PreviewImage::kHeight - 1,
                                static_cast<int>(std::ceil(std::max({q[0]->Y, q[1]->Y, q[2]->Y}))));
        for (int py = y0; py <= y1; ++py) {
            for (int px = x0; px <= x1; ++px) {
                const float cx = px + 0.5f, cy = py + 0.5f;
                float w[3];
                w[0] = ((q[1]->X - cx) * (q[2]->Y - cy) - (q[2]->X - cx) * (q[1]->Y - cy)) / area;
                w[1] = ((q[2]->X - cx) * (q[0]->Y - cy) - (q[0]->X - cx) * (q[2]->Y - cy)) / area;
                w[2] = 1 - w[0] - w[1];
                if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
                // Perspective-correct interpolation through 1/z.
                float invZ = 0, u = 0, v = 0, light = 0;
                for (int k = 0; k < 3; ++k) {
                    const float wk = w[k] / q[k]->Z;
                    invZ += wk;
                    u += wk * q[k]->U;
                    v += wk * q[k]->V;
                    light += wk * q[k]->Light;
                }
                u /= invZ, v /= invZ, light /= invZ;
                const size_t at = static_cast<size_t>(py) * PreviewImage::kWidth + px;
                const float z = 1 / invZ;
                if (z >= depth[at]) continue;
                depth[at] = z;
                const int column = std::clamp(static_cast<int>(u * 256), 0, 255);
                const int row = std::clamp(static_cast<int>(v * 512), 0, 511);
                const uint16_t texel = texture[static_cast<size_t>(row) * 256 + column];
                if (!(texel & sampledata::kAlphaBit)) continue;
                const uint32_t rgb = TexelRgb(texel);
                auto channel = [&](int shift) {
                    return static_cast<uint32_t>(std::min(255.0f, ((rgb >> shift) & 255) * light)) << shift;
                };
                image.Pixels[at] = channel(16) | channel(8) | channel(0);
            }
        }
    }
    return image;
}

void WritePng(const std::string& fileName, int width, int height, const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * width));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            raw.insert(raw.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                                   static_cast<uint8_t>(p)});
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6);
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        const uint32_t length = static_cast<uint32_t>(data.size());
        for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<uint8_t>(length >> shift));
        const size_t start = png.size();
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), data.begin(), data.end());
        const uint32_t crc =
            static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start)));
        for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<uint8_t>(crc >> shift));
    };
    std::vector<uint8_t> header;
    for (const uint32_t v : {static_cast<uint32_t>(width), static_cast<uint32_t>(height)}) {
        for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<uint8_t>(v >> shift));
    }
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
    chunk("IHDR", header);
    chunk("IDAT", packed);
    chunk("IEND", {});
    TFileStream file(fileName, fmCreate);
    file.WriteBuffer(png.data(), static_cast<int64_t>(png.size()));
}

void WriteTexturePng(const std::string& fileName, const Texture& texture) {
    std::vector<uint32_t> pixels(texture.size());
    for (size_t i = 0; i < texture.size(); ++i) {
        pixels[i] = (texture[i] & sampledata::kAlphaBit) ? TexelRgb(texture[i]) : 0xFF00FF;
    }
    WritePng(fileName, 256, 512, pixels);
}

}  // namespace wbx::testing
