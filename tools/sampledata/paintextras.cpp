// Fashion items (scarf, belt, gloves) and accessories (bag, necklace, backpack).
#include <cmath>

#include "sampledata/painters.h"
#include "sampledata/paintshapes.h"

namespace wbx::sampledata::painters {
namespace {
using namespace shapes;

// The messenger bag's strap runs over the figure's right shoulder to its left
// hip, on the front and on the back alike (in model coordinates).
constexpr float kStrapTopX = 6.0f, kStrapTopY = 57.0f, kStrapLowX = -6.6f, kStrapLowY = 37.5f;
}  // namespace

void PaintFashion(int variant, const ItemStyle& style, LayerCanvas& c) {
    const bool front = c.Side() == Face::Front;
    switch (variant % 3) {
        case 0: {  // striped scarf, its loose end hanging over the figure's right chest
            const auto end = [&](const Spot& s) {
                return front && s.X > 1.2f && s.X < 3.2f && s.Y > 45.0f && s.Y < 57;
            };
            c.Paint(
                [&](const Spot& s) {
                    return s.Trunk() && ((s.Y > 56.2f && s.Y < 60.4f && std::fabs(s.X) < 4.6f) || end(s));
                },
                [&](const Spot& s) {
                    const bool fringe = end(s) && s.Y < 45.8f;
                    if (fringe)
                        return Stripe(s.X, 0.3f, 0.5f) ? c.Lit(style.Main, s) : c.Lit(style.Main * 0.7f, s);
                    const bool stripe = end(s) ? Stripe(s.Y, 1.8f, 0.3f) : Stripe(s.X + 20, 1.5f, 0.3f);
                    return c.Lit(stripe ? style.Second : style.Main, s);
                });
            break;
        }
        case 1: {  // belt with a buckle at the front
            c.Paint([](const Spot& s) { return TorsoBand(s, 40.0f, 41.4f); },
                    [&](const Spot& s) {
                        const bool buckle = front && std::fabs(s.X) < 0.9f &&
                                            !(std::fabs(s.X) < 0.6f && std::fabs(s.Y - 40.7f) < 0.4f);
                        const bool hole =
                            !buckle && Stripe(s.X + 20, 0.8f, 0.15f) && std::fabs(s.Y - 40.7f) < 0.12f;
                        return c.Lit(buckle ? style.Accent : style.Main * (hole ? 0.5f : 1.0f), s);
                    });
            break;
        }
        default: {  // gloves with a cuff
            c.Paint([](const Spot& s) { return s.Hand() || (s.Arm() && s.T() > 0.9f); },
                    [&](const Spot& s) {
                        return c.Lit(s.Arm() && s.T() < 0.94f ? style.Second : style.Main, s);
                    });
            break;
        }
    }
}

void PaintAccessory(int variant, const ItemStyle& style, LayerCanvas& c) {
    const bool front = c.Side() == Face::Front;
    switch (variant % 3) {
        case 0: {  // messenger bag: strap over the right shoulder, bag at the left hip
            const auto strap = [](const Spot& s) {
                return s.Trunk() &&
                       SegmentDistance(s.X, s.Y, kStrapTopX, kStrapTopY, kStrapLowX, kStrapLowY) < 0.55f;
            };
            c.Paint(strap, [&](const Spot& s) {
                const bool stitch =
                    std::fabs(SegmentDistance(s.X, s.Y, kStrapTopX, kStrapTopY, kStrapLowX, kStrapLowY) -
                              0.4f) < 0.05f;
                return c.Lit(stitch ? style.Second : style.Main, s);
            });
            if (front) {
                c.Paint(
                    [](const Spot& s) {
                        return (s.Trunk() || s.Leg()) && s.X > -7.6f && s.X < -3.4f && s.Y > 32.8f &&
                               s.Y < 38.4f;
                    },
                    [&](const Spot& s) {
                        const bool flap = s.Y > 35.8f;
                        const bool clasp = std::fabs(s.X + 5.5f) < 0.3f && std::fabs(s.Y - 36.0f) < 0.35f;
                        return c.Lit(clasp ? style.Accent : style.Main * (flap ? 0.9f : 0.8f), s);
                    });
            }
            break;
        }
        case 1: {  // necklace with a pendant; its clasp at the back
            c.Paint(
                [&](const Spot& s) {
                    if (!s.Trunk()) return false;
                    if (!front)
                        return (std::fabs(s.Y - 57.4f) < 0.14f && std::fabs(s.X) < 2.7f) ||
                               InEllipse(s.X, s.Y, 0, 57.4f, 0.25f, 0.25f);
                    const float dx = s.X / 3.2f, dy = (s.Y - 58.5f) / 5.0f;
                    const float r = std::sqrt(dx * dx + dy * dy);
                    return (s.Y < 58 && std::fabs(r - 1) < 0.035f) ||
                           InEllipse(s.X, s.Y, 0, 53.0f, 0.5f, 0.7f);
                },
                [&](const Spot& s) {
                    const bool gem = front && InEllipse(s.X, s.Y, 0, 53.0f, 0.35f, 0.5f);
                    return c.Lit(gem ? style.Accent : style.Main, s, 0.6f);
                },
                0.7f);
            break;
        }
        default: {  // backpack: straps over both shoulders at the front, the pack at the back
            if (front) {
                c.Paint(
                    [](const Spot& s) {
                        return s.Trunk() &&
                               (SegmentDistance(std::fabs(s.X), s.Y, 3.9f, 57.2f, 4.4f, 45.5f) < 0.55f ||
                                (std::fabs(s.Y - 50.2f) < 0.25f && std::fabs(s.X) < 4.1f));
                    },
                    LitColour(c, style.Second));
            } else {
                c.Paint(
                    [](const Spot& s) {
                        return s.Trunk() && std::fabs(s.X) < 5.0f && s.Y > 41 &&
                               (s.Y < 53.5f || InEllipse(s.X, s.Y, 0, 53.5f, 5.0f, 2.6f));
                    },
                    [&](const Spot& s) {
                        const bool pocket = std::fabs(s.X) < 3.6f && s.Y > 42 && s.Y < 47;
                        const bool zip =
                            std::fabs(s.Y - 53.0f) < 0.1f || (pocket && std::fabs(s.Y - 46.6f) < 0.1f);
                        return c.Lit(zip ? style.Accent : style.Main * (pocket ? 0.88f : 1.0f), s);
                    });
            }
            break;
        }
    }
}

}  // namespace wbx::sampledata::painters
