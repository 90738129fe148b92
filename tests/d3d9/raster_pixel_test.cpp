// Per-pixel behaviour: texel-centre conventions, addressing, mip selection,
// texture stages, the blend modes the scene uses, alpha test, depth, Clear.

#include <gtest/gtest.h>

#include <cmath>

#include "rasterfixture.h"
#include "surfaceformat.h"

namespace wbx::testing {
namespace {

uint32_t Ch(uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

void ExpectNear(uint32_t actual, uint32_t expected, int tolerance, const char* what) {
    for (int shift : {0, 8, 16}) {
        EXPECT_NEAR(static_cast<int>(Ch(actual, shift)), static_cast<int>(Ch(expected, shift)), tolerance)
            << what << ": actual " << std::hex << actual << " expected " << expected;
    }
}

// A screen-aligned quad over pixels [x0, x1) x [y0, y1) with the texture
// coordinates (u0, v0) at the top-left corner and (u1, v1) at the bottom-right.
std::vector<TLVertex> Quad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1,
                           D3DCOLOR color = 0xFFFFFFFF, float z = 0.5f) {
    const float l = x0 - 0.5f, t = y0 - 0.5f, r = x1 - 0.5f, b = y1 - 0.5f;
    return {{l, t, z, 1, color, u0, v0}, {r, t, z, 1, color, u1, v0}, {r, b, z, 1, color, u1, v1},
            {l, t, z, 1, color, u0, v0}, {r, b, z, 1, color, u1, v1}, {l, b, z, 1, color, u0, v1}};
}

PipelineState TexturedState(int w, int h) {
    PipelineState s = DefaultState(w, h, false);
    s.RenderStates[D3DRS_LIGHTING] = FALSE;
    return s;
}

TEST(RasterSampling, PointAndLinearFollowTexelCentres) {
    // A 2 x 2 texture, black and white columns, stretched over 8 x 8 pixels:
    // pixel centre x samples u = (x + 0.5) / 8.
    TextureImage tex(2, 2, D3DFMT_A8R8G8B8, 4);
    for (int y = 0; y < 2; ++y) {
        tex.Set32(0, y, 0xFF000000);
        tex.Set32(1, y, 0xFFFFFFFF);
    }
    for (const DWORD filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        for (const DWORD address : {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP}) {
            Rasterizer r;
            Canvas c(8, 8, D3DFMT_UNKNOWN);
            PipelineState s = TexturedState(8, 8);
            Bind(s, 0, {&tex});
            s.SamplerStates[0][D3DSAMP_MAGFILTER] = s.SamplerStates[0][D3DSAMP_MINFILTER] = filter;
            s.SamplerStates[0][D3DSAMP_ADDRESSU] = s.SamplerStates[0][D3DSAMP_ADDRESSV] = address;
            DrawList(r, s, c, Quad(0, 0, 8, 8, 0, 0, 1, 1), kTLFVF);
            for (int x = 0; x < 8; ++x) {
                const double u = (x + 0.5) / 8.0;
                double white;  // weight of the white texel
                if (filter == D3DTEXF_POINT) {
                    white = std::floor(u * 2) == 1 ? 1.0 : 0.0;
                } else {
                    const double t = u * 2 - 0.5;  // texel i has its centre at i + 0.5
                    const double i0 = std::floor(t), f = t - i0;
                    auto whiteAt = [&](double i) {
                        if (address == D3DTADDRESS_CLAMP) i = std::clamp(i, 0.0, 1.0);
                        return std::fmod(i + 2, 2) == 1 ? 1.0 : 0.0;
                    };
                    white = whiteAt(i0) * (1 - f) + whiteAt(i0 + 1) * f;
                }
                const uint32_t expected = static_cast<uint32_t>(std::lround(white * 255)) * 0x010101u;
                ExpectNear(c.Rgb(x, 3), expected, 1, filter == D3DTEXF_POINT ? "point" : "linear");
            }
        }
    }
}

TEST(RasterSampling, AddressModesOutsideTheTexture) {
    // A 4 x 1 texture of four colours over 12 pixels with u from -1 to 2:
    // pixel i samples texel i - 4 before addressing.
    const uint32_t colors[4] = {0xFF100000, 0xFF200000, 0xFF300000, 0xFF400000};
    TextureImage tex(4, 1, D3DFMT_X8R8G8B8, 4);
    for (int x = 0; x < 4; ++x) tex.Set32(x, 0, colors[x]);
    const uint32_t border = 0xFF00FF00;
    struct Case {
        DWORD Mode;
        int Texel[12];  // -1: border
    };
    const Case cases[] = {
        {D3DTADDRESS_WRAP, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3}},
        {D3DTADDRESS_CLAMP, {0, 0, 0, 0, 0, 1, 2, 3, 3, 3, 3, 3}},
        {D3DTADDRESS_MIRROR, {3, 2, 1, 0, 0, 1, 2, 3, 3, 2, 1, 0}},
        {D3DTADDRESS_BORDER, {-1, -1, -1, -1, 0, 1, 2, 3, -1, -1, -1, -1}},
        {D3DTADDRESS_MIRRORONCE, {3, 2, 1, 0, 0, 1, 2, 3, 3, 3, 3, 3}},
    };
    for (const Case& k : cases) {
        Rasterizer r;
        Canvas c(12, 1, D3DFMT_UNKNOWN);
        PipelineState s = TexturedState(12, 1);
        Bind(s, 0, {&tex});
        s.SamplerStates[0][D3DSAMP_ADDRESSU] = k.Mode;
        s.SamplerStates[0][D3DSAMP_ADDRESSV] = D3DTADDRESS_CLAMP;
        s.SamplerStates[0][D3DSAMP_BORDERCOLOR] = border;
        DrawList(r, s, c, Quad(0, 0, 12, 1, -1, 0, 2, 1), kTLFVF);
        for (int x = 0; x < 12; ++x) {
            const uint32_t expected = k.Texel[x] < 0 ? border : colors[k.Texel[x]];
            EXPECT_EQ(c.Rgb(x, 0), expected & 0xFFFFFF) << "mode " << k.Mode << " pixel " << x;
        }
    }
}

TEST(RasterSampling, MipLevelFollowsTheFootprint) {
    // Levels 8, 4, 2, 1 texels wide in red, green, blue, white.
    TextureImage l0(8, 8, D3DFMT_X8R8G8B8, 4), l1(4, 4, D3DFMT_X8R8G8B8, 4), l2(2, 2, D3DFMT_X8R8G8B8, 4),
        l3(1, 1, D3DFMT_X8R8G8B8, 4);
    const uint32_t colors[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    TextureImage* levels[4] = {&l0, &l1, &l2, &l3};
    for (int i = 0; i < 4; ++i)
        for (int y = 0; y < levels[i]->Height; ++y)
            for (int x = 0; x < levels[i]->Width; ++x) levels[i]->Set32(x, y, colors[i]);
    struct Case {
        int Pixels;  // quad size showing the whole texture
        DWORD MipFilter;
        DWORD MaxMipLevel;
        uint32_t Expected;
    };
    const Case cases[] = {
        {8, D3DTEXF_POINT, 0, 0xFF0000},   // one texel per pixel: level 0
        {2, D3DTEXF_POINT, 0, 0x0000FF},   // four texels per pixel: level 2
        {1, D3DTEXF_POINT, 0, 0xFFFFFF},   // eight: level 3
        {2, D3DTEXF_NONE, 0, 0xFF0000},    // no mipmapping: level 0 whatever the chain
        {4, D3DTEXF_LINEAR, 0, 0x00FF00},  // exactly level 1
        {8, D3DTEXF_POINT, 2, 0x0000FF},   // the most detailed level allowed is 2
    };
    for (const Case& k : cases) {
        Rasterizer r;
        Canvas c(8, 8, D3DFMT_UNKNOWN);
        PipelineState s = TexturedState(8, 8);
        Bind(s, 0, {&l0, &l1, &l2, &l3});
        s.SamplerStates[0][D3DSAMP_MIPFILTER] = k.MipFilter;
        s.SamplerStates[0][D3DSAMP_MAXMIPLEVEL] = k.MaxMipLevel;
        const float size = static_cast<float>(k.Pixels);
        DrawList(r, s, c, Quad(0, 0, size, size, 0, 0, 1, 1), kTLFVF);
        EXPECT_EQ(c.Rgb(0, 0), k.Expected) << k.Pixels << " pixels, mip filter " << k.MipFilter;
    }
}

TEST(RasterSampling, TexelFormatsExpandLikeDirect3D) {
    struct Case {
        D3DFORMAT Format;
        uint32_t Raw;
        uint32_t Expected;
    };
    const Case cases[] = {
        {D3DFMT_A1R5G5B5, 0x8000 | (16 << 10) | (31 << 5) | 1, 0xFF84FF08},  // 16 -> 132, 1 -> 8
        {D3DFMT_A1R5G5B5, 0x7FFF, 0x00FFFFFF},
        {D3DFMT_X1R5G5B5, 0x0000, 0xFF000000},
        {D3DFMT_R5G6B5, 0x07E0, 0xFF00FF00},
        {D3DFMT_R5G6B5, (10 << 11) | (32 << 5) | 3, 0xFF528219},  // 10 -> 82, 32 -> 130, 3 -> 25
        {D3DFMT_A4R4G4B4, 0x8F1E, 0x88FF11EE},
        {D3DFMT_X4R4G4B4, 0x0F1E, 0xFFFF11EE},
        {D3DFMT_A8R8G8B8, 0x12345678, 0x12345678},
        {D3DFMT_X8R8G8B8, 0x12345678, 0xFF345678},
        {D3DFMT_L8, 0x5A, 0xFF5A5A5A},
        {D3DFMT_A8L8, 0x805A, 0x805A5A5A},
        {D3DFMT_A8, 0x80, 0x80000000},
        {D3DFMT_A4L4, 0x8F, 0x88FFFFFF},
        {D3DFMT_R3G3B2, 0xFF, 0xFFFFFFFF},
        {D3DFMT_A8R3G3B2, 0x40E0, 0x40FF0000},
        {D3DFMT_A8B8G8R8, 0x11223344, 0x11443322},
    };
    for (const Case& k : cases) {
        uint8_t bytes[4];
        std::memcpy(bytes, &k.Raw, 4);
        EXPECT_EQ(DecodeTexel(k.Format, bytes), k.Expected) << "format " << k.Format;
        if (const uint32_t* table = TexelLookupTable(k.Format)) {
            EXPECT_EQ(table[k.Raw & (TexelBytes(k.Format) == 1 ? 0xFF : 0xFFFF)], k.Expected)
                << "format " << k.Format;
        }
    }
    EXPECT_EQ(TexelBytes(D3DFMT_DXT1), 0);
    EXPECT_EQ(TexelBytes(D3DFMT_D16), 0);
}

TEST(RasterSampling, UnusableTexturesAreTreatedAsUnbound) {
    // A level without memory, or with a pitch too small for its width, is
    // not read: the stage passes the diffuse colour through.
    TextureImage tex(4, 4, D3DFMT_A8R8G8B8, 4);
    Rasterizer r;
    Canvas c(4, 4, D3DFMT_UNKNOWN);
    PipelineState s = TexturedState(4, 4);
    Bind(s, 0, {&tex});
    s.Textures[0].Levels[0].Pitch = 8;
    DrawList(r, s, c, Quad(0, 0, 4, 4, 0, 0, 1, 1, 0xFF204060), kTLFVF);
    EXPECT_EQ(c.Rgb(2, 2), 0x204060u);
    s.Textures[0].Levels[0].Bits = nullptr;
    s.Textures[0].Levels[0].Pitch = tex.Pitch;
    DrawList(r, s, c, Quad(0, 0, 4, 4, 0, 0, 1, 1, 0xFF604020), kTLFVF);
    EXPECT_EQ(c.Rgb(2, 2), 0x604020u);
}

// ---------------------------------------------------------------------------
// Texture stages.

struct SpecularVertex {
    float X, Y, Z, Rhw;
    D3DCOLOR Diffuse, Specular;
    float U, V;
};

TEST(RasterStages, OperationsArgumentsAndSpecular) {
    TextureImage tex(1, 1, D3DFMT_A8R8G8B8, 4);
    tex.Set32(0, 0, 0x80C04020);  // alpha 128
    const D3DCOLOR diffuse = 0x40808080;
    struct Case {
        const char* Name;
        DWORD ColorOp, ColorArg1, ColorArg2, AlphaOp, AlphaArg1, AlphaArg2;
        bool BindTexture;
        uint32_t Expected;  // ARGB before blending; alpha checked through an alpha-only write
    };
    const Case cases[] = {
        {"modulate", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE,
         D3DTA_DIFFUSE, true, 0x20602010},  // C0*80 = 60, 40*80 = 20, 20*80 = 10; alpha 80*40 = 20
        {"select texture", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE,
         D3DTA_DIFFUSE, true, 0x80C04020},
        {"select diffuse", D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG2, D3DTA_TEXTURE,
         D3DTA_CURRENT, true, 0x40808080},
        {"add saturates", D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         true, 0xC0FFC0A0},
        {"disable", D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, D3DTA_TEXTURE,
         D3DTA_DIFFUSE, true, 0x40808080},
        {"no texture passes diffuse", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, false, 0x40808080},
        {"complement", D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, D3DTOP_SELECTARG1,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, true, 0x803FBFDF},
    };
    for (const Case& k : cases) {
        for (const bool reference : {false, true}) {
            Rasterizer r;
            r.SetReferencePixelPath(reference);
            // Write into an A8R8G8B8 target so that alpha is kept.
            Canvas c(2, 2, D3DFMT_UNKNOWN);
            RenderTargets t = c.Targets();
            t.Color.Format = D3DFMT_A8R8G8B8;
            PipelineState s = TexturedState(2, 2);
            if (k.BindTexture) Bind(s, 0, {&tex});
            DWORD* ts = s.StageStates[0];
            ts[D3DTSS_COLOROP] = k.ColorOp;
            ts[D3DTSS_COLORARG1] = k.ColorArg1;
            ts[D3DTSS_COLORARG2] = k.ColorArg2;
            ts[D3DTSS_ALPHAOP] = k.AlphaOp;
            ts[D3DTSS_ALPHAARG1] = k.AlphaArg1;
            ts[D3DTSS_ALPHAARG2] = k.AlphaArg2;
            const std::vector<TLVertex> v = Quad(0, 0, 2, 2, 0, 0, 1, 1, diffuse);
            VertexStream stream{reinterpret_cast<const uint8_t*>(v.data()), sizeof(TLVertex), 6, kTLFVF};
            DrawCall call;
            call.Indexed = false;
            call.PrimitiveCount = 2;
            r.Draw(s, stream, nullptr, call, t);
            EXPECT_EQ(c.At(1, 1), k.Expected) << k.Name << (reference ? " (reference)" : "");
        }
    }

    // Specular: added to the colour after the stages when enabled, not to alpha.
    for (const bool enabled : {false, true}) {
        Rasterizer r;
        Canvas c(2, 2, D3DFMT_UNKNOWN);
        PipelineState s = TexturedState(2, 2);
        s.RenderStates[D3DRS_SPECULARENABLE] = enabled;
        const std::vector<SpecularVertex> v{{-0.5f, -0.5f, 0.5f, 1, 0xFF404040, 0xFFE01008, 0, 0},
                                            {1.5f, -0.5f, 0.5f, 1, 0xFF404040, 0xFFE01008, 0, 0},
                                            {-0.5f, 1.5f, 0.5f, 1, 0xFF404040, 0xFFE01008, 0, 0}};
        DrawList(r, s, c, v, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1);
        EXPECT_EQ(c.Rgb(0, 0), enabled ? 0xFF5048u : 0x404040u);
    }
}

TEST(RasterStages, FlatShadingTakesTheFirstVertexColour) {
    Rasterizer r;
    Canvas c(16, 16, D3DFMT_UNKNOWN);
    PipelineState s = TexturedState(16, 16);
    s.RenderStates[D3DRS_SHADEMODE] = D3DSHADE_FLAT;
    const std::vector<TLVertex> v{{0, 0, 0.5f, 1, 0xFF00FF00, 0, 0},
                                  {16, 0, 0.5f, 1, 0xFFFF0000, 0, 0},
                                  {0, 16, 0.5f, 1, 0xFF0000FF, 0, 0}};
    DrawList(r, s, c, v, kTLFVF);
    EXPECT_EQ(c.Rgb(1, 1), 0x00FF00u);
    EXPECT_EQ(c.Rgb(12, 1), 0x00FF00u);
    EXPECT_EQ(c.Rgb(1, 12), 0x00FF00u);
    // Gouraud blends them.
    s.RenderStates[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    DrawList(r, s, c, v, kTLFVF);
    EXPECT_NE(c.Rgb(12, 1) & 0xFF0000, 0u);
}

TEST(RasterStages, ColorsAndCoordinatesArePerspectiveCorrect) {
    // One edge at w = 1, the other at w = 4: the screen midpoint between them
    // lies at a fifth of the way in attribute space (1/w interpolates linearly).
    Rasterizer r;
    Canvas c(64, 4, D3DFMT_UNKNOWN);
    PipelineState s = TexturedState(64, 4);
    s.RenderStates[D3DRS_CULLMODE] = D3DCULL_NONE;
    const float near = 1.0f, far = 0.25f;  // rhw
    const std::vector<TLVertex> v{
        {-0.5f, -0.5f, 0.5f, near, 0xFF000000, 0, 0}, {63.5f, -0.5f, 0.5f, far, 0xFFFFFFFF, 1, 0},
        {63.5f, 3.5f, 0.5f, far, 0xFFFFFFFF, 1, 1},   {-0.5f, -0.5f, 0.5f, near, 0xFF000000, 0, 0},
        {63.5f, 3.5f, 0.5f, far, 0xFFFFFFFF, 1, 1},   {-0.5f, 3.5f, 0.5f, near, 0xFF000000, 0, 1}};
    DrawList(r, s, c, v, kTLFVF);
    // At screen fraction t the colour is t far / ((1 - t) near + t far).
    for (int x : {0, 16, 31, 48, 63}) {
        const double t = (x + 0.5) / 64.0;
        const double value = t * far / ((1 - t) * near + t * far);
        EXPECT_NEAR(static_cast<int>(Ch(c.At(x, 1), 0)), value * 255, 1.0) << x;
    }
}

// ---------------------------------------------------------------------------
// Output merger.

struct BlendCase {
    const char* Name;
    DWORD Src, Dest, Op;
};

// Expected Src * SrcBlend op Dst * DestBlend for one channel, in 0..1.
double BlendChannel(const BlendCase& k, double s, double sa, double d, double da) {
    auto factor = [&](DWORD f, double own) {
        switch (f) {
            case D3DBLEND_ZERO:
                return 0.0;
            case D3DBLEND_ONE:
                return 1.0;
            case D3DBLEND_SRCCOLOR:
                return s;
            case D3DBLEND_INVSRCCOLOR:
                return 1 - s;
            case D3DBLEND_SRCALPHA:
                return sa;
            case D3DBLEND_INVSRCALPHA:
                return 1 - sa;
            case D3DBLEND_DESTALPHA:
                return da;
            case D3DBLEND_INVDESTALPHA:
                return 1 - da;
            case D3DBLEND_DESTCOLOR:
                return d;
            case D3DBLEND_INVDESTCOLOR:
                return 1 - d;
            default:
                return own;
        }
    };
    const double a = s * factor(k.Src, 0), b = d * factor(k.Dest, 0);
    switch (k.Op) {
        case D3DBLENDOP_SUBTRACT:
            return std::max(a - b, 0.0);
        case D3DBLENDOP_REVSUBTRACT:
            return std::max(b - a, 0.0);
        case D3DBLENDOP_MIN:
            return std::min(s, d);
        case D3DBLENDOP_MAX:
            return std::max(s, d);
        default:
            return std::min(a + b, 1.0);
    }
}

TEST(RasterOutput, BlendModesOverAKnownBackground) {
    const BlendCase cases[] = {
        // The scene's table (opaque, additive, alpha, darken, multiply), then the rest.
        {"opaque", D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD},
        {"additive", D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD},
        {"alpha", D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},
        {"darken", D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, D3DBLENDOP_ADD},
        {"multiply", D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD},
        {"destcolor", D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD},
        {"invdestcolor", D3DBLEND_INVDESTCOLOR, D3DBLEND_ONE, D3DBLENDOP_ADD},
        {"destalpha", D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, D3DBLENDOP_ADD},
        {"subtract", D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_SUBTRACT},
        {"revsubtract", D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT},
        {"min", D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_MIN},
        {"max", D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_MAX},
    };
    const uint32_t background = 0xFF40C080;
    const uint32_t source = 0x8020A0FF;  // alpha 128
    for (const BlendCase& k : cases) {
        for (const bool reference : {false, true}) {
            Rasterizer r;
            r.SetReferencePixelPath(reference);
            Canvas c(2, 2, D3DFMT_UNKNOWN, background);
            PipelineState s = TexturedState(2, 2);
            s.RenderStates[D3DRS_ALPHABLENDENABLE] = TRUE;
            s.RenderStates[D3DRS_SRCBLEND] = k.Src;
            s.RenderStates[D3DRS_DESTBLEND] = k.Dest;
            s.RenderStates[D3DRS_BLENDOP] = k.Op;
            DrawList(r, s, c, Quad(0, 0, 2, 2, 0, 0, 1, 1, source), kTLFVF);
            uint32_t expected = 0;
            for (int shift : {0, 8, 16}) {
                // The X8R8G8B8 target has no alpha: destination alpha reads 1.
                const double v = BlendChannel(k, Ch(source, shift) / 255.0, Ch(source, 24) / 255.0,
                                              Ch(background, shift) / 255.0, 1.0);
                expected |= static_cast<uint32_t>(std::lround(v * 255)) << shift;
            }
            ExpectNear(c.At(1, 1), expected, 1, k.Name);
            EXPECT_EQ(c.At(1, 1) >> 24, 0xFFu) << "the X byte is not drawn into";
        }
    }
}

TEST(RasterOutput, AlphaTestWithReference128) {
    // Mode 5 of the scene: GREATER than 128. 128 fails, 129 passes; a failed
    // pixel writes neither colour nor depth.
    for (const uint32_t alpha : {0u, 127u, 128u, 129u, 255u}) {
        Rasterizer r;
        Canvas c(2, 2, D3DFMT_D16, 0xFF000000);
        PipelineState s = TexturedState(2, 2);
        s.RenderStates[D3DRS_ZENABLE] = D3DZB_TRUE;
        s.RenderStates[D3DRS_ALPHATESTENABLE] = TRUE;
        s.RenderStates[D3DRS_ALPHAFUNC] = D3DCMP_GREATER;
        s.RenderStates[D3DRS_ALPHAREF] = 128;
        DrawList(r, s, c, Quad(0, 0, 2, 2, 0, 0, 1, 1, (alpha << 24) | 0xFFFFFF, 0.25f), kTLFVF);
        const bool passes = alpha > 128;
        EXPECT_EQ(c.Rgb(0, 0), passes ? 0xFFFFFFu : 0u) << alpha;
        EXPECT_EQ(c.DepthAt(0, 0), passes ? QuantizeDepth(0.25f, DepthLayoutOf(D3DFMT_D16)) : 0xFFFFu)
            << alpha;
    }
    // ALPHAREF keeps only its low 8 bits.
    Rasterizer r;
    Canvas c(2, 2, D3DFMT_UNKNOWN);
    PipelineState s = TexturedState(2, 2);
    s.RenderStates[D3DRS_ALPHATESTENABLE] = TRUE;
    s.RenderStates[D3DRS_ALPHAFUNC] = D3DCMP_LESS;
    s.RenderStates[D3DRS_ALPHAREF] = 0x1FF;
    DrawList(r, s, c, Quad(0, 0, 2, 2, 0, 0, 1, 1, 0xFEFFFFFF), kTLFVF);
    EXPECT_EQ(c.Rgb(0, 0), 0xFFFFFFu);
}

TEST(RasterOutput, DepthOrderingInEachFormat) {
    for (const D3DFORMAT format : {D3DFMT_D16, D3DFMT_D16_LOCKABLE, D3DFMT_D32, D3DFMT_D24S8, D3DFMT_D24X8}) {
        for (const bool reference : {false, true}) {
            Rasterizer r;
            r.SetReferencePixelPath(reference);
            Canvas c(4, 4, format);
            const RenderTargets t = c.Targets();
            r.Clear(t, {0, 0, 4, 4, 0, 1}, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                    0xFF000000, 1.0f, 0x5A);
            PipelineState s = TexturedState(4, 4);
            s.RenderStates[D3DRS_ZENABLE] = D3DZB_TRUE;
            // Near red, then far green (rejected), then equally near blue (LESSEQUAL: drawn).
            DrawList(r, s, c, Quad(0, 0, 4, 4, 0, 0, 1, 1, 0xFFFF0000, 0.3f), kTLFVF);
            DrawList(r, s, c, Quad(0, 0, 4, 4, 0, 0, 1, 1, 0xFF00FF00, 0.7f), kTLFVF);
            EXPECT_EQ(c.Rgb(1, 1), 0xFF0000u) << format;
            DrawList(r, s, c, Quad(0, 0, 4, 4, 0, 0, 1, 1, 0xFF0000FF, 0.3f), kTLFVF);
            EXPECT_EQ(c.Rgb(1, 1), 0x0000FFu) << format;
            // LESS rejects the equal depth.
            s.RenderStates[D3DRS_ZFUNC] = D3DCMP_LESS;
            DrawList(r, s, c, Quad(0, 0, 4, 4, 0, 0, 1, 1, 0xFFFFFFFF, 0.3f), kTLFVF);
            EXPECT_EQ(c.Rgb(1, 1), 0x0000FFu) << format;
            // Stencil bits survive depth writes.
            const DepthLayout layout = DepthLayoutOf(format);
            const uint32_t word = c.DepthAt(1, 1);
            if (layout.StencilBits == 8) {
                EXPECT_EQ(word & 0xFF, 0x5Au) << format;
            }
            EXPECT_EQ((word >> layout.DepthShift) &
                          ((layout.DepthBits == 32) ? 0xFFFFFFFFu : ((1u << layout.DepthBits) - 1)),
                      QuantizeDepth(0.3f, layout))
                << format;
        }
    }
}

TEST(RasterOutput, DepthWriteAndDepthEnableSwitches) {
    Rasterizer r;
    Canvas c(4, 4, D3DFMT_D16);
    r.Clear(c.Targets(), {0, 0, 4, 4, 0, 1}, 0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    PipelineState s = TexturedState(4, 4);
    s.RenderStates[D3DRS_ZENABLE] = D3DZB_TRUE;
    s.RenderStates[D3DRS_ZWRITEENABLE] = FALSE;
    DrawList(r, s, c, Quad(0, 0, 4, 4, 0, 0, 1, 1, 0xFFFF0000, 0.3f), kTLFVF);
    EXPECT_EQ(c.Rgb(0, 0), 0xFF0000u);
    EXPECT_EQ(c.DepthAt(0, 0), 0xFFFFu);  // tested, not written
    s.RenderStates[D3DRS_ZWRITEENABLE] = TRUE;
    s.RenderStates[D3DRS_ZENABLE] = D3DZB_FALSE;
    DrawList(r, s, c, Quad(0, 0, 4, 4, 0, 0, 1, 1, 0xFF00FF00, 0.9f), kTLFVF);
    EXPECT_EQ(c.Rgb(0, 0), 0x00FF00u);
    EXPECT_EQ(c.DepthAt(0, 0), 0xFFFFu);  // neither tested nor written
}

TEST(RasterOutput, ViewportDepthRangeMapsZ) {
    Rasterizer r;
    Canvas c(4, 4, D3DFMT_D32);
    PipelineState s = DefaultState(4, 4);
    s.RenderStates[D3DRS_LIGHTING] = FALSE;
    s.RenderStates[D3DRS_ZFUNC] = D3DCMP_ALWAYS;
    s.Viewport.MinZ = 0.25f;
    s.Viewport.MaxZ = 0.75f;
    struct ColorVertex {
        float X, Y, Z;
        D3DCOLOR C;
    };
    // Clip z 0.5 (w = 1) lands at 0.25 + 0.5 x 0.5 = 0.5.
    DrawList(r, s, c, std::vector<ColorVertex>{{-1, 1, 0.5f, ~0u}, {3, 1, 0.5f, ~0u}, {-1, -3, 0.5f, ~0u}},
             D3DFVF_XYZ | D3DFVF_DIFFUSE);
    EXPECT_NEAR(c.DepthAt(1, 1) / 4294967295.0, 0.5, 1e-6);
}

TEST(RasterOutput, ColorWriteEnableMasksChannels) {
    for (const bool reference : {false, true}) {
        Rasterizer r;
        r.SetReferencePixelPath(reference);
        Canvas c(2, 2, D3DFMT_UNKNOWN, 0xFF102030);
        PipelineState s = TexturedState(2, 2);
        s.RenderStates[D3DRS_COLORWRITEENABLE] = D3DCOLORWRITEENABLE_GREEN;
        DrawList(r, s, c, Quad(0, 0, 2, 2, 0, 0, 1, 1, 0xFFFFFFFF), kTLFVF);
        EXPECT_EQ(c.At(0, 0), 0xFF10FF30u);
    }
}

// ---------------------------------------------------------------------------
// Clear.

TEST(RasterClear, ViewportAndRectanglesLimitTheClear) {
    Rasterizer r;
    Canvas c(8, 8, D3DFMT_D24S8, 0xFF000000);
    const D3DVIEWPORT9 viewport{2, 2, 4, 4, 0, 1};
    r.Clear(c.Targets(), viewport, 0, nullptr, D3DCLEAR_TARGET, 0xFF888888, 1.0f, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(c.Rgb(x, y), (x >= 2 && x < 6 && y >= 2 && y < 6) ? 0x888888u : 0u) << x << "," << y;
    // Rectangles are clipped to the viewport, including ones wholly outside
    // or inverted.
    Canvas d(8, 8, D3DFMT_D24S8, 0xFF000000);
    const D3DRECT rects[3] = {{0, 0, 3, 3}, {5, 5, 100, 100}, {7, 7, 1, 1}};
    r.Clear(d.Targets(), viewport, 3, rects, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    EXPECT_EQ(d.CountNot(0), 2);
    EXPECT_EQ(d.Rgb(2, 2), 0xFFFFFFu);
    EXPECT_EQ(d.Rgb(5, 5), 0xFFFFFFu);
}

TEST(RasterClear, DepthAndStencilInTheirOwnPrecision) {
    Rasterizer r;
    Canvas c(4, 4, D3DFMT_D16);
    r.Clear(c.Targets(), {0, 0, 4, 4, 0, 1}, 0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0);
    EXPECT_NEAR(static_cast<int>(c.DepthAt(3, 3)), 0x7FFF, 2);
    Canvas d(4, 4, D3DFMT_D24S8);
    r.Clear(d.Targets(), {0, 0, 4, 4, 0, 1}, 0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0x1A5);
    EXPECT_EQ(d.DepthAt(0, 0), 0xFFFFFFA5u);  // stencil keeps its low 8 bits
    // Clearing only the stencil leaves depth alone, and the other way round.
    r.Clear(d.Targets(), {0, 0, 4, 4, 0, 1}, 0, nullptr, D3DCLEAR_STENCIL, 0, 0.0f, 0x11);
    EXPECT_EQ(d.DepthAt(0, 0), 0xFFFFFF11u);
    r.Clear(d.Targets(), {0, 0, 4, 4, 0, 1}, 0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0x77);
    EXPECT_EQ(d.DepthAt(0, 0), 0x00000011u);
    // A viewport larger than the surfaces is cut to them.
    Canvas e(4, 4, D3DFMT_D32);
    r.Clear(e.Targets(), {1, 1, 1000, 1000, 0, 1}, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFF,
            0.0f, 0);
    EXPECT_EQ(e.CountNot(0), 9);
    EXPECT_EQ(e.DepthAt(3, 3), 0u);
    EXPECT_EQ(e.DepthAt(0, 0), 0xFFFFFFFFu);
}

TEST(RasterStages, SecondStageReadsItsOwnTextureAndCoordinates) {
    // Stage 0 selects texture 0 (red), stage 1 modulates it by texture 1,
    // sampled with coordinate set 1: its left half grey, its right half black.
    struct TwoSetVertex {
        float X, Y, Z, Rhw;
        D3DCOLOR Diffuse;
        float U0, V0, U1, V1;
    };
    TextureImage red(1, 1, D3DFMT_X8R8G8B8, 4), halves(2, 1, D3DFMT_X8R8G8B8, 4);
    red.Set32(0, 0, 0xFFFF0000);
    halves.Set32(0, 0, 0xFF808080);
    halves.Set32(1, 0, 0xFF000000);
    for (const bool reference : {false, true}) {
        Rasterizer r;
        r.SetReferencePixelPath(reference);
        Canvas c(8, 2, D3DFMT_UNKNOWN);
        PipelineState s = TexturedState(8, 2);
        Bind(s, 0, {&red});
        Bind(s, 1, {&halves});
        s.StageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
        s.StageStates[1][D3DTSS_COLOROP] = D3DTOP_MODULATE;
        s.StageStates[1][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        s.StageStates[1][D3DTSS_COLORARG2] = D3DTA_CURRENT;
        s.StageStates[1][D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
        s.StageStates[1][D3DTSS_ALPHAARG1] = D3DTA_CURRENT;
        const std::vector<TwoSetVertex> v{{-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0.9f, 0.9f, 0, 0},
                                          {7.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0.9f, 0.9f, 1, 0},
                                          {-0.5f, 1.5f, 0.5f, 1, 0xFFFFFFFF, 0.9f, 0.9f, 0, 1},
                                          {7.5f, 1.5f, 0.5f, 1, 0xFFFFFFFF, 0.9f, 0.9f, 1, 1}};
        DrawList(r, s, c, v, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2, D3DPT_TRIANGLESTRIP, 2);
        EXPECT_EQ(c.Rgb(1, 0), 0x800000u) << reference;
        EXPECT_EQ(c.Rgb(6, 1), 0x000000u) << reference;
        EXPECT_FALSE(r.LastDrawUsedFastPath());
    }
}

TEST(RasterSampling, LinearMipFilterBlendsNeighbouringLevels) {
    // Level 0 black, level 1 white: a footprint of 2^0.5 texels per pixel
    // (lod 0.5) is halfway between them.
    TextureImage l0(16, 16, D3DFMT_X8R8G8B8, 4), l1(8, 8, D3DFMT_X8R8G8B8, 4);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) l1.Set32(x, y, 0xFFFFFFFF);
    Rasterizer r;
    Canvas c(16, 16, D3DFMT_UNKNOWN);
    PipelineState s = TexturedState(16, 16);
    Bind(s, 0, {&l0, &l1});
    s.SamplerStates[0][D3DSAMP_MIPFILTER] = D3DTEXF_LINEAR;
    const float size = 16.0f / std::sqrt(2.0f);
    DrawList(r, s, c, Quad(0, 0, size, size, 0, 0, 1, 1), kTLFVF);
    EXPECT_NEAR(static_cast<int>(c.Rgb(2, 2) & 0xFF), 128, 2);
}

}  // namespace
}  // namespace wbx::testing
