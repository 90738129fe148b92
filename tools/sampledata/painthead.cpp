// Hair, body (skin, face, underwear) and face items.
#include <cmath>

#include "sampledata/painters.h"
#include "sampledata/paintshapes.h"

namespace wbx::sampledata::painters {
namespace {

using namespace shapes;

struct HairStyle {
    float SideLength;  // lowest y of the locks at the sides of the face
    float Nape;        // lowest y of the hair at the back of the head
    float Fringe;      // forehead hairline height at the far end of the sweep
    float BackLength;  // 0, or the lowest y of long hair down the back
    bool Tail;         // a ponytail down the back of the neck
};
constexpr HairStyle kHairStyles[] = {
    {65.0f, 61.8f, 68.7f, 0, false},      // short crop
    {61.6f, 60.2f, 67.6f, 0, false},      // bob with a fringe
    {60.6f, 58.0f, 68.3f, 46.5f, false},  // long
    {64.2f, 62.4f, 68.9f, 0, true},       // ponytail
};
// The parting lies on the figure's left (-x) in every style: an asymmetric
// detail that must show on the screen's right from the front and on the
// screen's left from behind.
constexpr float kPartingX = -1.5f;
const Colour kScalp = Rgb(214, 176, 150);

float Hairline(const HairStyle& style, bool fringe, float x) {
    if (fringe) return style.Fringe + 0.25f * std::sin(x * 4.0f);
    // The hair sweeps from the parting toward the figure's right and covers
    // more of the forehead there.
    if (x >= kPartingX) return style.Fringe + 1.1f - 1.7f * SmoothStep(kPartingX, 4.0f, x);
    return style.Fringe + 1.1f - 1.3f * SmoothStep(kPartingX, -4.3f, x);
}

void PaintHairFront(const HairStyle& style, bool fringe, Colour hair, LayerCanvas& c) {
    const auto region = [&](const Spot& s) {
        if (!s.Trunk()) return false;
        if (s.Y > 60 && s.Y > Hairline(style, fringe, s.X)) return true;
        return s.Y > 60 && std::fabs(s.X) > 3.1f && s.Y > style.SideLength;
    };
    const auto shade = [&](const Spot& s) {
        if (std::fabs(s.X - kPartingX) < 0.17f && s.Y > 70.4f) return c.Lit(kScalp, s);
        const float angle = std::atan2(s.Y - 73.5f, s.X - kPartingX);
        const float strands = 0.86f + 0.14f * std::sin(angle * 55 + 2 * std::sin(s.Y * 1.3f));
        const float shine = 0.22f * std::exp(-(s.Y - 70.2f) * (s.Y - 70.2f) / 0.5f);
        return c.Lit(hair * (strands + shine), s, 0.8f);
    };
    c.Paint(region, shade, 0.5f);
}

void PaintHairBack(const HairStyle& style, Colour hair, Colour tie, LayerCanvas& c) {
    const auto inTail = [&](const Spot& s) {
        return style.Tail && s.Y > 52.5f && s.Y < 66 &&
               std::fabs(s.X) < 0.9f + 0.3f * std::sin((s.Y - 52) * 0.5f);
    };
    const auto region = [&](const Spot& s) {
        if (!s.Trunk()) return false;
        if (s.Y > style.Nape - 0.6f * (1 - std::min(1.0f, std::fabs(s.X) / 4))) return true;
        if (style.BackLength > 0 && s.Y >= style.BackLength + 0.5f * std::sin(s.X * 3) && s.Y < 62 &&
            std::fabs(s.X) < 4.4f + 0.8f * SmoothStep(58, 50, s.Y)) {
            return true;
        }
        return inTail(s);
    };
    const auto shade = [&](const Spot& s) {
        if (std::fabs(s.X - kPartingX) < 0.15f && s.Y > 70.0f) return c.Lit(kScalp, s);
        if (inTail(s) && std::fabs(s.Y - 64.6f) < 0.35f) return c.Lit(tie, s);
        const float strands = 0.86f + 0.14f * std::sin(s.X * 9 + 2 * std::sin(s.Y * 0.8f));
        return c.Lit(hair * strands, s, 0.8f);
    };
    c.Paint(region, shade, 0.5f);
}

}  // namespace

void PaintHair(int variant, int layer, const ItemStyle& style, LayerCanvas& c) {
    const HairStyle& hairStyle = kHairStyles[variant % 4];
    const bool fringe = variant % 4 == 1;
    if (layer == 1 || layer == 3) {
        // The shadowed hair mass under the body layer: it shows only where
        // no skin is painted, at the edges of the head.
        c.Paint([](const Spot& s) { return s.Trunk() && s.Y > 61.5f; }, LitColour(c, style.Main * 0.6f), 1);
    } else if (layer == 2) {
        PaintHairFront(hairStyle, fringe, style.Main, c);
    } else {
        PaintHairBack(hairStyle, style.Main, style.Accent, c);
    }
}

void PaintBody(int variant, int layer, const ItemStyle& style, LayerCanvas& c) {
    const Colour skin = style.Main;
    if (layer == 1 || layer == 8) {
        c.Paint(Anywhere(), LitColour(c, skin), 1);
        return;
    }
    const bool front = layer == 7;
    const bool top = variant != 0;
    // Ears at both sides of the head.
    c.Paint(
        [](const Spot& s) { return s.Trunk() && InEllipse(std::fabs(s.X), s.Y, 4.2f, 66.0f, 0.4f, 0.95f); },
        LitColour(c, skin * 0.93f), 0.75f);
    if (!front) {
        // The spine, a little darker than the skin.
        c.Paint([](const Spot& s) { return s.Trunk() && s.Y > 38 && s.Y < 55 && std::fabs(s.X) < 0.15f; },
                LitColour(c, skin * 0.92f), 1);
    }
    const auto briefs = [](const Spot& s) {
        return (s.Trunk() && s.Y < 37.6f - 0.5f * std::fabs(s.X) / 7) || (s.Leg() && s.T() < 0.07f);
    };
    const auto underwearShade = [&](const Spot& s) {
        const float band = (s.Trunk() && s.Y > 36.9f - 0.5f * std::fabs(s.X) / 7) ? 0.75f : 1.0f;
        return c.Lit(style.Second * band, s);
    };
    c.Paint(briefs, underwearShade, 0.6f);
    if (top) c.Paint([](const Spot& s) { return TorsoBand(s, 47.4f, 52.6f); }, underwearShade, 0.6f);
    if (!front) return;
    c.Paint(
        [](const Spot& s) { return s.Trunk() && InEllipse(std::fabs(s.X), s.Y, 2.4f, 64.5f, 0.8f, 0.5f); },
        [&](const Spot& s) { return c.Lit(Mix(skin, Rgb(232, 120, 120), 0.25f), s); }, 1);
    c.Paint([](const Spot& s) { return s.Trunk() && InEllipse(s.X, s.Y, 0, 42.3f, 0.18f, 0.26f); },
            LitColour(c, skin * 0.7f), 1);
    // Eyes (with the iris colour), brows, nose and mouth.
    enum Feature { None, White, Iris, Pupil, Brow, Nose, Lips };
    const auto feature = [](const Spot& s) {
        if (!s.Trunk() || s.Y < 62.5f || s.Y > 68.2f || std::fabs(s.X) > 3.2f) return None;
        const float ax = std::fabs(s.X);
        if (InEllipse(ax, s.Y, 1.55f, 66.2f, 0.14f, 0.16f)) return Pupil;
        if (InEllipse(ax, s.Y, 1.55f, 66.2f, 0.34f, 0.38f)) return Iris;
        if (InEllipse(ax, s.Y, 1.55f, 66.2f, 0.75f, 0.4f)) return White;
        if (SegmentDistance(ax, s.Y, 0.7f, 67.45f, 2.4f, 67.55f) < 0.15f) return Brow;
        if (SegmentDistance(s.X, s.Y, 0, 65.5f, 0, 64.6f) < 0.14f ||
            InEllipse(ax, s.Y, 0.35f, 64.4f, 0.16f, 0.1f)) {
            return Nose;
        }
        if (InEllipse(s.X, s.Y, 0, 63.1f, 0.85f, 0.22f)) return Lips;
        return None;
    };
    c.Paint([&](const Spot& s) { return feature(s) != None; },
            [&](const Spot& s) {
                switch (feature(s)) {
                    case White:
                        return Rgb(245, 245, 240);
                    case Iris:
                        return style.Accent;
                    case Pupil:
                        return Rgb(20, 16, 16);
                    case Brow:
                        return Rgb(60, 40, 30);
                    case Nose:
                        return c.Lit(skin * 0.78f, s);
                    default:
                        return c.Lit(Mix(skin, Rgb(190, 70, 80), 0.55f), s);
                }
            },
            0.7f);
}

void PaintFace(int variant, const ItemStyle& style, LayerCanvas& c) {
    const bool front = c.Side() == Face::Front;
    switch (variant % 3) {
        case 0: {  // glasses, on a cord behind the head
            c.Paint(
                [&](const Spot& s) {
                    if (!s.Trunk() || s.Y < 64 || s.Y > 68.5f) return false;
                    const float ax = std::fabs(s.X);
                    if (!front)
                        return std::fabs(s.Y - 65.9f) < 0.1f ||
                               SegmentDistance(ax, s.Y, 3.6f, 66.5f, 4.4f, 66.2f) < 0.14f;
                    const bool frame = InEllipse(ax, s.Y, 1.55f, 66.2f, 1.05f, 0.75f) &&
                                       !InEllipse(ax, s.Y, 1.55f, 66.2f, 0.86f, 0.58f);
                    return frame || (ax < 0.55f && std::fabs(s.Y - 66.45f) < 0.12f) ||
                           SegmentDistance(ax, s.Y, 2.55f, 66.45f, 4.3f, 66.6f) < 0.12f;
                },
                LitColour(c, style.Main), 0.7f);
            break;
        }
        case 1: {  // headband, knotted on the figure's left at the back
            const auto knot = [](const Spot& s) {
                return InEllipse(s.X, s.Y, -2.0f, 69.1f, 0.55f, 0.5f) ||
                       SegmentDistance(s.X, s.Y, -2.0f, 69.0f, -2.7f, 64.6f) < 0.28f ||
                       SegmentDistance(s.X, s.Y, -2.0f, 69.0f, -1.2f, 65.0f) < 0.28f;
            };
            c.Paint(
                [&](const Spot& s) {
                    return s.Trunk() && (std::fabs(s.Y - 69.3f) < 0.55f || (!front && knot(s)));
                },
                [&](const Spot& s) {
                    const bool stripe = std::fabs(s.Y - 69.3f) < 0.14f;
                    return c.Lit(stripe ? style.Second : style.Main, s);
                },
                0.6f);
            break;
        }
        default: {  // bandana over the lower face, tied at the nape
            const auto region = [&](const Spot& s) {
                if (!s.Trunk()) return false;
                if (front) return s.Y > 61.0f && s.Y < 64.7f - 0.15f * std::fabs(s.X);
                return std::fabs(s.Y - 64.4f) < 0.4f || InEllipse(s.X, s.Y, 0, 64.4f, 0.6f, 0.5f) ||
                       SegmentDistance(s.X, s.Y, 0, 64.2f, -0.8f, 60.5f) < 0.3f ||
                       SegmentDistance(s.X, s.Y, 0, 64.2f, 0.7f, 60.8f) < 0.3f;
            };
            c.Paint(
                region,
                [&](const Spot& s) {
                    const float gx = s.X / 0.9f - std::floor(s.X / 0.9f),
                                gy = s.Y / 0.9f - std::floor(s.Y / 0.9f);
                    const bool dot = InEllipse(gx, gy, 0.5f, 0.5f, 0.22f, 0.22f);
                    return c.Lit(dot ? style.Accent : style.Main, s);
                },
                0.6f);
            break;
        }
    }
}

}  // namespace wbx::sampledata::painters
