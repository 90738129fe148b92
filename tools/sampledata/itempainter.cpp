#include "sampledata/itempainter.h"

#include <algorithm>
#include <stdexcept>

#include "sampledata/painters.h"
#include "sampledata/random.h"

namespace wbx::sampledata {
namespace {

// Base colours (main, second, accent) of each list's items, in item order.
struct Palette {
    Colour Main, Second, Accent;
};
const Palette kHair[] = {{Rgb(70, 45, 30), {}, {}},
                         {Rgb(30, 28, 34), {}, {}},
                         {Rgb(220, 180, 100), {}, {}},
                         {Rgb(170, 70, 40), {}, Rgb(60, 170, 220)}};
// Body: skin, underwear, eyes.
const Palette kBody[] = {{Rgb(240, 204, 176), Rgb(240, 240, 236), Rgb(70, 120, 170)},
                         {Rgb(204, 150, 110), Rgb(40, 60, 120), Rgb(90, 60, 40)},
                         {Rgb(128, 86, 62), Rgb(190, 40, 60), Rgb(50, 35, 25)}};
const Palette kUpper[] = {{Rgb(230, 230, 220), Rgb(240, 200, 40), Rgb(200, 40, 50)},
                          {Rgb(240, 240, 240), Rgb(30, 60, 140), {}},
                          {Rgb(220, 60, 120), Rgb(250, 200, 220), {}},
                          {Rgb(90, 140, 90), Rgb(235, 235, 230), {}},
                          {Rgb(170, 40, 40), Rgb(40, 40, 60), Rgb(230, 230, 220)}};
const Palette kBottom[] = {{Rgb(60, 90, 150), {}, Rgb(210, 150, 60)},
                           {Rgb(200, 180, 140), Rgb(250, 250, 250), {}},
                           {Rgb(40, 60, 110), Rgb(200, 60, 50), {}},
                           {Rgb(100, 110, 70), {}, Rgb(70, 75, 50)}};
const Palette kShoes[] = {{Rgb(245, 245, 245), Rgb(60, 60, 60), Rgb(220, 50, 50)},
                          {Rgb(120, 72, 40), Rgb(40, 30, 25), Rgb(210, 190, 150)},
                          {Rgb(160, 100, 60), Rgb(70, 50, 40), {}}};
const Palette kWear[] = {{Rgb(50, 50, 55), Rgb(80, 80, 90), {}},
                         {Rgb(230, 130, 30), {}, Rgb(200, 200, 200)},
                         {Rgb(180, 150, 100), Rgb(120, 90, 60), Rgb(60, 45, 30)}};
const Palette kFace[] = {{Rgb(40, 40, 40), {}, {}},
                         {Rgb(30, 150, 160), Rgb(245, 245, 245), {}},
                         {Rgb(180, 30, 40), {}, Rgb(245, 245, 240)}};
const Palette kCostume[] = {{Rgb(230, 120, 30), Rgb(60, 60, 70), Rgb(200, 200, 210)},
                            {Rgb(120, 170, 230), Rgb(250, 250, 250), Rgb(250, 220, 80)}};
const Palette kFashion[] = {{Rgb(200, 40, 50), Rgb(245, 235, 200), {}},
                            {Rgb(90, 55, 30), {}, Rgb(220, 200, 120)},
                            {Rgb(40, 40, 45), Rgb(180, 40, 40), {}}};
const Palette kAccessory[] = {{Rgb(110, 80, 50), Rgb(220, 200, 160), Rgb(210, 190, 110)},
                              {Rgb(230, 200, 90), {}, Rgb(60, 160, 200)},
                              {Rgb(50, 110, 70), Rgb(40, 40, 40), Rgb(230, 200, 60)}};

struct PaletteList {
    const Palette* Items;
    int Count;
};
template <size_t N>
constexpr PaletteList ListOf(const Palette (&items)[N]) {
    return {items, static_cast<int>(N)};
}
const PaletteList kPalettes[] = {ListOf(kHair),    ListOf(kBody),     ListOf(kUpper), ListOf(kBottom),
                                 ListOf(kShoes),   ListOf(kWear),     ListOf(kFace),  ListOf(kCostume),
                                 ListOf(kFashion), ListOf(kAccessory)};

Colour Vary(Colour c, SampleRandom& random, float amount) {
    const float shift = random.Between(-amount, amount);  // brightness, shared by the channels
    auto channel = [&](float v) {
        return std::clamp(v + shift + random.Between(-amount, amount) * 0.5f, 0.0f, 1.0f);
    };
    return {channel(c.R), channel(c.G), channel(c.B)};
}

}  // namespace

ItemStyle MakeItemStyle(int listIndex, int itemIndex, SampleRandom& random) {
    if (listIndex < 0 || listIndex >= 10) throw std::out_of_range("part list index");
    const PaletteList& list = kPalettes[listIndex];
    const Palette& palette = list.Items[itemIndex % list.Count];
    ItemStyle style;
    style.Main = Vary(palette.Main, random, 0.06f);
    style.Second = Vary(palette.Second, random, 0.06f);
    style.Accent = Vary(palette.Accent, random, 0.06f);
    style.PatternSeed = static_cast<uint32_t>(random.Next());
    return style;
}

void PaintItemLayer(int listIndex, int itemIndex, int layerIndex, const ItemStyle& style,
                    LayerCanvas& canvas) {
    using namespace painters;
    switch (listIndex) {
        case 0:
            PaintHair(itemIndex, layerIndex, style, canvas);
            break;
        case 1:
            PaintBody(itemIndex, layerIndex, style, canvas);
            break;
        case 2:
            PaintUpper(itemIndex, style, canvas);
            break;
        case 3:
            PaintBottom(itemIndex, style, canvas);
            break;
        case 4:
            PaintShoes(itemIndex, style, canvas);
            break;
        case 5:
            PaintWear(itemIndex, style, canvas);
            break;
        case 6:
            PaintFace(itemIndex, style, canvas);
            break;
        case 7:
            PaintCostume(itemIndex, style, canvas);
            break;
        case 8:
            PaintFashion(itemIndex, style, canvas);
            break;
        case 9:
            PaintAccessory(itemIndex, style, canvas);
            break;
        default:
            throw std::out_of_range("part list index");
    }
}

}  // namespace wbx::sampledata
