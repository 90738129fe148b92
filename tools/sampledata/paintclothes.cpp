// Uppers, bottoms, shoes, outer wear and costumes.
#include <cmath>

#include "sampledata/painters.h"
#include "sampledata/paintshapes.h"

namespace wbx::sampledata::painters {
namespace {

using namespace shapes;

// +1 for parts on the figure's right (+x), -1 for its left.
float SideOf(const Spot& s) {
    switch (s.Part()) {
        case BodyPart::ArmRight:
        case BodyPart::HandRight:
        case BodyPart::LegRight:
        case BodyPart::FootRight:
            return 1;
        default:
            return -1;
    }
}
// Model x of a leg's centre line at spine parameter t, and of a foot's.
float LegCentreX(const Spot& s) { return SideOf(s) * (3.7f + 0.2f * s.T()); }
float FootCentreX(const Spot& s) { return SideOf(s) * 4.15f; }

bool Rect(const Spot& s, float x0, float x1, float y0, float y1) {
    return s.X >= x0 && s.X <= x1 && s.Y >= y0 && s.Y <= y1;
}

// Small round buttons at the given x, spaced down from top to bottom.
bool Button(const Spot& s, float x, float top, float bottom, float spacing) {
    for (float y = top; y >= bottom; y -= spacing) {
        if (InEllipse(s.X, s.Y, x, y, 0.22f, 0.22f)) return true;
    }
    return false;
}

}  // namespace

void PaintUpper(int variant, const ItemStyle& style, LayerCanvas& c) {
    const bool front = c.Side() == Face::Front;
    switch (variant % 5) {
        case 0: {  // T-shirt with a round print on the chest
            c.Paint(
                [](const Spot& s) { return (TorsoBand(s, 37.2f, 57.4f) && !NeckHole(s)) || Sleeve(s, 0.3f); },
                [&](const Spot& s) {
                    const bool hem = (s.Trunk() && s.Y < 37.9f) || (s.Arm() && s.T() > 0.27f);
                    return c.Lit(style.Main * (hem ? 0.82f : 1.0f), s);
                });
            if (front) {
                c.Paint([](const Spot& s) { return s.Trunk() && InEllipse(s.X, s.Y, 0, 50.3f, 2.0f, 2.0f); },
                        [&](const Spot& s) {
                            const float angle = std::atan2(s.Y - 50.3f, s.X);
                            const float r = std::hypot(s.X, s.Y - 50.3f);
                            const bool star = r < 1.1f + 0.6f * std::cos(5 * angle);
                            return c.Lit(star ? style.Second : style.Accent, s);
                        });
            }
            break;
        }
        case 1: {  // long-sleeved, striped
            c.Paint(
                [](const Spot& s) {
                    return (TorsoBand(s, 36.5f, 57.4f) && !NeckHole(s, -0.6f)) || Sleeve(s, 0.96f);
                },
                [&](const Spot& s) {
                    const bool cuff = (s.Arm() && s.T() > 0.91f) || (s.Trunk() && s.Y < 37.3f);
                    const bool stripe = s.Arm() ? Stripe(s.T(), 0.07f, 0.45f) : Stripe(s.Y, 1.6f, 0.45f);
                    return c.Lit(cuff ? style.Second * 0.8f : (stripe ? style.Second : style.Main), s);
                });
            break;
        }
        case 2: {  // one-shoulder top: strap over the figure's right shoulder only
            const auto top = [](float x) { return 50.3f + 2.6f * SmoothStep(-6, 6, x); };
            c.Paint(
                [&](const Spot& s) {
                    if (!s.Trunk()) return false;
                    const bool body = s.Y >= 39.0f && s.Y <= top(s.X);
                    const bool strap = front ? SegmentDistance(s.X, s.Y, 4.6f, 52.4f, 6.8f, 57.3f) < 0.75f
                                             : SegmentDistance(s.X, s.Y, 6.8f, 57.3f, 4.4f, 51.2f) < 0.75f;
                    return body || strap;
                },
                [&](const Spot& s) {
                    const bool ruffle = s.Y > top(s.X) - 0.5f || s.Y < 39.5f;
                    return c.Lit(ruffle ? style.Second : style.Main, s);
                });
            break;
        }
        case 3: {  // hooded sweater with a front pocket and a hood at the back
            c.Paint(
                [](const Spot& s) {
                    return (TorsoBand(s, 34.5f, 57.6f) && !NeckHole(s, -0.8f)) || Sleeve(s, 0.97f);
                },
                [&](const Spot& s) {
                    const bool rib = (s.Trunk() && s.Y < 35.6f) || (s.Arm() && s.T() > 0.9f);
                    return c.Lit(style.Main * (rib ? 0.8f : 1.0f), s);
                });
            if (front) {
                c.Paint(
                    [](const Spot& s) {
                        return s.Trunk() && s.Y > 37 && s.Y < 42 &&
                               std::fabs(s.X) < 4.2f - (s.Y - 37) * 0.25f;
                    },
                    LitColour(c, style.Main * 0.95f), 0.6f);
                c.Paint(
                    [](const Spot& s) {
                        return s.Trunk() &&
                               SegmentDistance(std::fabs(s.X), s.Y, 0.9f, 56.0f, 1.1f, 50.5f) < 0.13f;
                    },
                    LitColour(c, style.Second), 0.8f);
            } else {
                c.Paint(
                    [](const Spot& s) {
                        return s.Trunk() && s.Y > 51.5f && InEllipse(s.X, s.Y, 0, 56.2f, 4.6f, 4.0f);
                    },
                    LitColour(c, style.Main * 0.88f), 0.55f);
            }
            break;
        }
        default: {  // checked shirt with collar, buttons and a pocket on the figure's left
            const auto vNeck = [&](const Spot& s) {
                return front && s.Y > 53.5f && std::fabs(s.X) < (s.Y - 53.5f) * 0.7f;
            };
            c.Paint(
                [&](const Spot& s) {
                    return (TorsoBand(s, 36.0f, 57.4f) && !NeckHole(s, -0.6f) && !vNeck(s)) ||
                           Sleeve(s, 0.42f);
                },
                [&](const Spot& s) {
                    const bool checkX = Stripe(s.X + 20, 1.4f, 0.3f), checkY = Stripe(s.Y, 1.4f, 0.3f);
                    const Colour base = checkX && checkY     ? style.Second * 0.7f
                                        : (checkX || checkY) ? Mix(style.Main, style.Second, 0.5f)
                                                             : style.Main;
                    const bool rolled = s.Arm() && s.T() > 0.36f;
                    return c.Lit(rolled ? style.Main * 0.85f : base, s);
                });
            if (front) {
                c.Paint(
                    [](const Spot& s) {
                        return s.Trunk() &&
                               ((std::fabs(s.X) < 0.3f && s.Y > 36 && s.Y < 53.6f) ||
                                SegmentDistance(std::fabs(s.X), s.Y, 0.3f, 53.9f, 2.9f, 57.2f) < 0.55f ||
                                Rect(s, -4.6f, -2.2f, 48.4f, 51.2f));
                    },
                    LitColour(c, style.Main * 0.92f), 0.6f);
                c.Paint([](const Spot& s) { return s.Trunk() && Button(s, 0, 52.5f, 37, 2.5f); },
                        LitColour(c, style.Accent), 0.7f);
            } else {
                c.Paint(
                    [](const Spot& s) { return TorsoBand(s, 56.6f, 57.4f) || TorsoBand(s, 53.6f, 53.9f); },
                    LitColour(c, style.Main * 0.85f), 1);
            }
            break;
        }
    }
}

void PaintBottom(int variant, const ItemStyle& style, LayerCanvas& c) {
    const bool front = c.Side() == Face::Front;
    const auto fabric = [&](const Spot& s, Colour base, float grain) {
        const float noise = TexelNoise(s.Column, s.Row, style.PatternSeed);
        const float twill = Stripe(s.X * 0.7f + s.Y, 0.35f, 0.5f) ? 1.0f : 0.94f;
        return c.Lit(base * (1 - grain + 2 * grain * noise) * twill, s);
    };
    switch (variant % 4) {
        case 0:    // jeans
        case 3: {  // cargo trousers
            const bool jeans = variant % 4 == 0;
            c.Paint([](const Spot& s) { return (s.Trunk() && s.Y <= 40.8f) || LegCover(s, 0.985f); },
                    [&](const Spot& s) {
                        const bool band = s.Trunk() && s.Y > 40.0f;
                        const bool hem = s.Leg() && s.T() > 0.95f;
                        return fabric(s, style.Main * (band || hem ? 0.85f : 1.0f), jeans ? 0.08f : 0.03f);
                    });
            if (jeans && front) {
                c.Paint(
                    [](const Spot& s) {
                        return s.Trunk() &&
                               (SegmentDistance(std::fabs(s.X), s.Y, 3.0f, 40.0f, 5.6f, 38.0f) < 0.1f ||
                                SegmentDistance(s.X, s.Y, 0.4f, 39.9f, 0.4f, 35.6f) < 0.1f);
                    },
                    LitColour(c, style.Accent), 1);
                c.Paint(
                    [](const Spot& s) { return s.Trunk() && InEllipse(s.X, s.Y, 0, 40.4f, 0.28f, 0.28f); },
                    LitColour(c, Rgb(200, 180, 120)), 0.7f);
            } else if (jeans) {
                // Back pockets, and a leather label on the figure's right.
                c.Paint(
                    [](const Spot& s) {
                        return s.Trunk() && std::fabs(s.X) > 1.2f && std::fabs(s.X) < 4.6f && s.Y > 34.6f &&
                               s.Y < 38.3f - 0.3f * std::fabs(std::fabs(s.X) - 2.9f);
                    },
                    [&](const Spot& s) { return fabric(s, style.Main * 0.93f, 0.08f); }, 0.6f);
                c.Paint([](const Spot& s) { return s.Trunk() && Rect(s, 2.8f, 4.1f, 39.3f, 40.3f); },
                        LitColour(c, Rgb(150, 96, 60)), 0.6f);
            } else {
                // Cargo pockets on the outside of both thighs.
                c.Paint(
                    [](const Spot& s) {
                        return s.Leg() && s.T() > 0.26f && s.T() < 0.42f &&
                               (s.X - LegCentreX(s)) * SideOf(s) > 0.6f;
                    },
                    [&](const Spot& s) {
                        const bool flap = s.T() < 0.29f;
                        return fabric(s, style.Main * (flap ? 0.85f : 0.95f), 0.03f);
                    },
                    0.55f);
            }
            break;
        }
        case 1: {  // shorts with a side stripe
            c.Paint([](const Spot& s) { return (s.Trunk() && s.Y <= 41.0f) || LegCover(s, 0.28f); },
                    [&](const Spot& s) {
                        const bool stripe =
                            s.Leg() && std::fabs(s.Surface.Normal.X * SideOf(s) - 0.95f) < 0.06f;
                        const bool cuff = s.Leg() && s.T() > 0.24f;
                        return fabric(s, stripe ? style.Second : style.Main * (cuff ? 0.85f : 1.0f), 0.03f);
                    });
            break;
        }
        default: {  // pleated, checked skirt
            c.Paint([](const Spot& s) { return (s.Trunk() && s.Y <= 42.5f) || LegCover(s, 0.36f); },
                    [&](const Spot& s) {
                        const bool pleat = Stripe(s.X + 20, 0.9f, 0.12f);
                        const bool check = Stripe(s.X + 20, 2.4f, 0.25f) != Stripe(s.Y, 2.4f, 0.25f);
                        const bool band = s.Trunk() && s.Y > 41.5f;
                        Colour base = check ? Mix(style.Main, style.Second, 0.6f) : style.Main;
                        if (pleat) base = base * 0.8f;
                        if (band) base = style.Main * 0.7f;
                        return c.Lit(base, s);
                    });
            break;
        }
    }
}

void PaintShoes(int variant, const ItemStyle& style, LayerCanvas& c) {
    const bool front = c.Side() == Face::Front;
    switch (variant % 3) {
        case 0: {  // sneakers
            c.Paint([](const Spot& s) { return s.Foot() || (s.Leg() && s.T() > 0.945f); },
                    [&](const Spot& s) {
                        if (s.Leg()) return c.Lit(style.Main * 0.9f, s);
                        const float dx = std::fabs(s.X - FootCentreX(s));
                        if (s.Surface.Position.Y < 0.55f) return c.Lit(style.Second, s);
                        if (dx > 0.95f && s.Surface.Position.Y < 1.7f && s.Surface.Position.Y > 0.95f) {
                            return c.Lit(style.Accent, s);
                        }
                        if (front && dx < 0.55f && s.Y > 1.6f && s.Y < 3.4f && Stripe(s.Y, 0.45f, 0.5f)) {
                            return c.Lit(style.Accent * 0.8f, s);
                        }
                        if (!front && dx < 0.5f && s.Y > 1.2f) return c.Lit(style.Accent, s);
                        return c.Lit(style.Main, s);
                    });
            break;
        }
        case 1: {  // lace-up boots to mid-calf
            c.Paint([](const Spot& s) { return s.Foot() || (s.Leg() && s.T() > 0.74f); },
                    [&](const Spot& s) {
                        if (s.Foot() && s.Surface.Position.Y < 0.5f) return c.Lit(style.Second, s);
                        if (s.Leg() && s.T() < 0.78f) return c.Lit(style.Main * 0.75f, s);
                        if (front && s.Leg() && std::fabs(s.X - LegCentreX(s)) < 0.35f &&
                            Stripe(s.Y, 0.8f, 0.3f)) {
                            return c.Lit(style.Accent, s);
                        }
                        return c.Lit(style.Main, s, 1.2f);
                    });
            break;
        }
        default: {  // sandals: a sole, a strap over the toes and one round the ankle
            c.Paint(
                [](const Spot& s) {
                    if (s.Foot())
                        return s.Surface.Position.Y < 0.5f || std::fabs(s.Surface.Position.Z - 4.5f) < 0.6f;
                    return s.Leg() && s.T() > 0.975f;
                },
                [&](const Spot& s) {
                    return c.Lit(s.Foot() && s.Surface.Position.Y < 0.5f ? style.Second : style.Main, s);
                });
            break;
        }
    }
}

void PaintWear(int variant, const ItemStyle& style, LayerCanvas& c) {
    const bool front = c.Side() == Face::Front;
    switch (variant % 3) {
        case 0: {  // open jacket with lapels
            const auto opening = [&](const Spot& s) {
                return front && std::fabs(s.X) < 1.6f + (s.Y > 50 ? (s.Y - 50) * 0.55f : 0.0f);
            };
            c.Paint(
                [&](const Spot& s) {
                    return (TorsoBand(s, 34.5f, 57.6f) && !opening(s) && !NeckHole(s, -0.8f)) ||
                           Sleeve(s, 0.95f);
                },
                [&](const Spot& s) {
                    const bool lapel = front && s.Trunk() && s.Y > 47 &&
                                       std::fabs(s.X) < 2.5f + (s.Y > 50 ? (s.Y - 50) * 0.55f : 0.0f);
                    const bool seam = !front && s.Trunk() && std::fabs(s.X) < 0.08f;
                    return c.Lit(lapel ? style.Second : style.Main * (seam ? 0.7f : 1.0f), s);
                });
            if (front) {
                c.Paint(
                    [](const Spot& s) {
                        return s.Trunk() &&
                               SegmentDistance(std::fabs(s.X), s.Y, 3.6f, 39.0f, 5.4f, 40.2f) < 0.12f;
                    },
                    LitColour(c, style.Main * 0.6f), 1);
            }
            break;
        }
        case 1: {  // quilted vest, V at the front
            c.Paint(
                [&](const Spot& s) {
                    return TorsoBand(s, 37.0f, 57.2f) && !NeckHole(s, -0.5f) &&
                           !(front && s.Y > 48 && std::fabs(s.X) < (s.Y - 48) * 0.5f);
                },
                [&](const Spot& s) {
                    const float phase = s.Y / 2.0f - std::floor(s.Y / 2.0f);
                    const float puff = 0.78f + 0.22f * std::sin(phase * 3.14159f);
                    const bool zip = front && std::fabs(s.X) < 0.12f;
                    return c.Lit(zip ? style.Accent : style.Main * puff, s);
                });
            break;
        }
        default: {  // long belted coat, double-breasted
            c.Paint(
                [&](const Spot& s) {
                    return (TorsoBand(s, 30.0f, 57.6f) && !NeckHole(s, -0.5f)) || LegCover(s, 0.48f) ||
                           Sleeve(s, 0.97f);
                },
                [&](const Spot& s) {
                    const bool belt = s.Trunk() && s.Y > 42.2f && s.Y < 43.2f;
                    const bool cuff = s.Arm() && s.T() > 0.9f;
                    const bool vent = !front && std::fabs(s.X) < 0.08f && s.Y < 38;
                    return c.Lit(belt || cuff ? style.Second : style.Main * (vent ? 0.6f : 1.0f), s);
                });
            if (front) {
                c.Paint(
                    [](const Spot& s) {
                        return s.Trunk() && (Button(s, 1.6f, 52, 37, 3) || Button(s, -1.6f, 52, 37, 3));
                    },
                    LitColour(c, style.Accent), 0.7f);
                c.Paint(
                    [](const Spot& s) {
                        return s.Trunk() && Rect(s, -0.7f, 0.7f, 42.0f, 43.4f) &&
                               !Rect(s, -0.4f, 0.4f, 42.3f, 43.1f);
                    },
                    LitColour(c, Rgb(200, 180, 110)), 0.8f);
            }
            break;
        }
    }
}

void PaintCostume(int variant, const ItemStyle& style, LayerCanvas& c) {
    const bool front = c.Side() == Face::Front;
    if (variant % 2 == 0) {  // overalls with a zip, knee pads and a badge on the figure's left chest
        c.Paint(
            [](const Spot& s) {
                return (TorsoBand(s, 0, 57.4f) && !NeckHole(s, -0.7f)) || LegCover(s, 0.97f) ||
                       Sleeve(s, 0.97f);
            },
            [&](const Spot& s) {
                if (front && s.Trunk() && std::fabs(s.X) < 0.16f && s.Y > 38) return c.Lit(style.Accent, s);
                if (s.Leg() && s.T() > 0.46f && s.T() < 0.56f) return c.Lit(style.Second, s);
                if (s.Trunk() && s.Y > 41.4f && s.Y < 42.4f) return c.Lit(style.Second, s);
                return c.Lit(style.Main, s);
            });
        if (front) {
            c.Paint([](const Spot& s) { return s.Trunk() && Rect(s, -4.8f, -2.4f, 49.5f, 51.5f); },
                    LitColour(c, style.Accent), 0.6f);
        }
        return;
    }
    // A sleeveless dress with a sash and a dotted print.
    c.Paint(
        [](const Spot& s) {
            return TorsoBand(s, 0, 54.5f) || LegCover(s, 0.55f) ||
                   (s.Trunk() && SegmentDistance(std::fabs(s.X), s.Y, 3.2f, 54.0f, 4.2f, 57.3f) < 0.45f);
        },
        [&](const Spot& s) {
            if (s.Trunk() && s.Y > 42.0f && s.Y < 43.4f) return c.Lit(style.Second, s);
            const float gx = s.X / 1.3f - std::floor(s.X / 1.3f), gy = s.Y / 1.3f - std::floor(s.Y / 1.3f);
            const bool flower = InEllipse(gx, gy, 0.5f, 0.5f, 0.2f, 0.2f);
            return c.Lit(flower ? style.Accent : style.Main, s);
        });
    if (!front) {
        c.Paint(
            [](const Spot& s) {
                return s.Trunk() && (InEllipse(std::fabs(s.X), s.Y, 1.0f, 42.7f, 1.0f, 0.7f) ||
                                     SegmentDistance(std::fabs(s.X), s.Y, 0.2f, 42.4f, 0.9f, 39.0f) < 0.25f);
            },
            LitColour(c, style.Second * 0.9f), 0.6f);
    }
}

}  // namespace wbx::sampledata::painters
