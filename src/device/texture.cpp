#include "device/texture.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "base/format.h"
#include "device/bitmap.h"
#include "device/diagnostics.h"
#include "device/korvane.h"
#include "device/pixelformat.h"

namespace wbx {

namespace {

// The smallest power of two not below v (1 for 0 and 1). Beyond 2^31 the
// request is left as it is; the device refuses it.
uint32_t CeilPowerOfTwo(uint32_t v) {
    if (v > 0x80000000u) return v;
    uint32_t p = 1;
    while (p < v) p <<= 1;
    return p;
}

}  // namespace

TKVTexture::TKVTexture(TKorvane* deviceComponent, std::vector<D3DFORMAT> candidateFormats, uint32_t usage,
                       D3DPOOL pool, uint32_t levels, std::string name)
    : Name(std::move(name)),
      DeviceComponent(deviceComponent),
      CandidateFormats(std::move(candidateFormats)),
      Usage(usage),
      Pool(pool),
      Levels(levels),
      KeepContents(pool != D3DPOOL_DEFAULT) {
    ID = DeviceComponent->RegisterResource(
        this, "TKVTexture", Name, [this] { OnRelease(); }, [this] { OnRebuild(); },
        [this] { OnDeviceLost(); }, [this] { OnDeviceReset(); });
}

TKVTexture::~TKVTexture() {
    TKVLogFailureGuard guard;
    WriteDetailLog("テクスチャオブジェクトを解放します");
    ReleaseTexture(true);
    Backup.reset();
    DeviceComponent->UnregisterResource(ID);
}

bool TKVTexture::HasDevice() const {
    return DeviceComponent->D3D != nullptr && DeviceComponent->Device != nullptr;
}

void TKVTexture::ReleaseTexture(bool checkCount) {
    if (Texture == nullptr) return;
    IDirect3DTexture9* texture = Texture;
    Texture = nullptr;
    const ULONG left = texture->Release();
    if (checkCount) CheckResult(static_cast<int32_t>(left), "テクスチャの解放に失敗しました");
}

D3DFORMAT TKVTexture::ChooseFormat() {
    TKorvane& component = *DeviceComponent;
    D3DFORMAT backBufferFormat = component.BackBufferFormat;
    if (component.BackBufferCount > 0 && component.BackBuffer(0) != nullptr) {
        D3DSURFACE_DESC desc{};
        if (component.BackBuffer(0)->GetDesc(&desc) == D3D_OK) backBufferFormat = desc.Format;
    }
    // Formats are offered for the display's format, which is the back
    // buffer's unless the device was made with another back buffer.
    const D3DFORMAT adapterFormat =
        component.DisplayFormat != D3DFMT_UNKNOWN ? component.DisplayFormat : backBufferFormat;
    for (D3DFORMAT candidate : CandidateFormats)
        if (component.D3D->CheckDeviceFormat(component.Adapter, component.DeviceType, adapterFormat, Usage,
                                             D3DRTYPE_TEXTURE, candidate) == D3D_OK)
            return candidate;
    return backBufferFormat;
}

void TKVTexture::AllocateTexture(uint32_t width, uint32_t height) {
    if (Texture != nullptr) {
        WriteDetailLog("テクスチャの再生成に伴い、以前のテクスチャを解放します");
        ReleaseTexture(true);
    }
    if (!HasDevice()) {
        ReportError("テクスチャの生成に失敗しました");
        return;
    }
    IDirect3DDevice9* device = DeviceComponent->Device;
    Format = ChooseFormat();
    WriteDetailLog(wbx::Format("使用されるフォーマットは %s です", FormatName(Format)));
    IDirect3DTexture9* texture = nullptr;
    const HRESULT result =
        device->CreateTexture(width, height, Levels, Usage, Format, Pool, &texture, nullptr);
    if (result == D3D_OK)
        Texture = texture;
    else if (texture != nullptr)
        texture->Release();
    CheckResult(result, "テクスチャの生成に失敗しました");
    WriteDetailLog(
        wbx::Format("残りテクスチャ容量は、約%fMBです", device->GetAvailableTextureMem() / 1048576.0));
    BytesPerPixel = BitsPerPixel(Format) / 8;
}

void TKVTexture::SetSize(uint32_t width, uint32_t height) {
    Width = width;
    Height = height;
    if (width == 0 || height == 0) {
        // Nothing to create: a texture that was never sized is rebuilt this way.
        if (Texture != nullptr) {
            WriteDetailLog("テクスチャの再生成に伴い、以前のテクスチャを解放します");
            ReleaseTexture(true);
        }
        TextureWidth = 0;
        TextureHeight = 0;
    } else {
        uint32_t textureWidth = width;
        uint32_t textureHeight = height;
        if (HasDevice()) {
            const TKorvane& component = *DeviceComponent;
            D3DCAPS9 caps{};
            component.D3D->GetDeviceCaps(component.Adapter, component.DeviceType, &caps);
            if (width > caps.MaxTextureWidth || height > caps.MaxTextureHeight)
                WriteDetailLog(
                    wbx::Format("要求されたテクスチャのサイズは大きすぎます。%d x %d 以内にして下さい",
                                caps.MaxTextureWidth, caps.MaxTextureHeight));
            if ((caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0)
                textureWidth = textureHeight = std::max(textureWidth, textureHeight);
            if ((caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0) {
                textureWidth = CeilPowerOfTwo(textureWidth);
                textureHeight = CeilPowerOfTwo(textureHeight);
            }
        }
        TextureWidth = textureWidth;
        TextureHeight = textureHeight;
        AllocateTexture(TextureWidth, TextureHeight);
        if (Pool != D3DPOOL_DEFAULT)
            FillColor(RECT{0, 0, static_cast<LONG>(TextureWidth), static_cast<LONG>(TextureHeight)},
                      ClearColor, false);
    }
    if (!Rebuilding) {
        Backup.reset();
        Source = kvsProgram;
    }
}

D3DLOCKED_RECT TKVTexture::LockRect(uint32_t level, const RECT* rect, uint32_t flags) {
    if ((flags & D3DLOCK_READONLY) == 0 && Source != kvsNone) Source = kvsProgram;
    if (Texture == nullptr) {
        CheckResult(1,
                    "テクスチャが確保されていません。LockRectの前にSetSizeするか、BMPを読み込んでください");
        return D3DLOCKED_RECT{0, nullptr};
    }
    LockedLevel = level;
    D3DLOCKED_RECT locked{0, nullptr};
    const HRESULT result = Texture->LockRect(level, &locked, rect, flags);
    if (result != D3D_OK) locked = D3DLOCKED_RECT{0, nullptr};
    LockedPitch = locked.Pitch;
    LockedBits = locked.pBits;
    CheckResult(result, "LockRectに失敗しました");
    return locked;
}

void TKVTexture::UnlockRect() {
    if (Texture != nullptr) CheckResult(Texture->UnlockRect(LockedLevel), "アンロックに失敗しました");
}

void TKVTexture::FillColor(const RECT& rect, uint32_t color, bool keepAlpha) {
    const D3DLOCKED_RECT locked = LockRect(0, &rect, 0);
    // No texture, or a rectangle the level refuses: reported by LockRect; nothing is written.
    if (locked.pBits == nullptr) return;
    uint8_t* const bits = static_cast<uint8_t*>(locked.pBits);
    const size_t bytes = BytesPerPixel;
    const size_t width = static_cast<size_t>(rect.right - rect.left);
    const size_t height = static_cast<size_t>(rect.bottom - rect.top);
    if (!keepAlpha) {
        const uint32_t pixel = ARGBToPixel(color, Format);
        for (size_t x = 0; x < width; ++x) std::memcpy(bits + x * bytes, &pixel, bytes);
        for (size_t y = 1; y < height; ++y) std::memcpy(bits + y * locked.Pitch, bits, width * bytes);
    } else {
        for (size_t y = 0; y < height; ++y) {
            uint8_t* row = bits + y * locked.Pitch;
            for (size_t x = 0; x < width; ++x) {
                uint32_t pixel = 0;
                std::memcpy(&pixel, row + x * bytes, bytes);
                const uint32_t argb = (PixelToARGB(pixel, Format) & 0xFF000000u) | (color & 0x00FFFFFFu);
                pixel = ARGBToPixel(argb, Format);
                std::memcpy(row + x * bytes, &pixel, bytes);
            }
        }
    }
    UnlockRect();
}

void TKVTexture::LoadFromStream(TStream& stream) {
    WriteDetailLog(wbx::Format("ID %d のテクスチャに、ストリームから読み込みます", ID));
    try {
        const int64_t position = stream.Position();
        const TBitmapInfoHeader info = ReadBitmapInfo(stream, position);
        SetSize(static_cast<uint32_t>(info.Width), static_cast<uint32_t>(info.Height));
        stream.SetPosition(position);
        if (Texture != nullptr) LoadBMP(Texture, stream);
        Source = kvsProgram;
    } catch (const std::exception&) {
        CheckResult(1, "ストリームからの、読み込みエラー");
    }
}

void TKVTexture::SaveToStream(TStream& stream) {
    const uint32_t imageSize = Width * Height * 4;
    TBitmapFileHeader fileHeader{kBitmapType, imageSize + 54, 0, 0, 54};
    TBitmapInfoHeader info{
        40, static_cast<int32_t>(Width), static_cast<int32_t>(Height), 1, 32, 0, imageSize, 0, 0, 0, 0};
    stream.WriteBuffer(&fileHeader, sizeof fileHeader);
    stream.WriteBuffer(&info, sizeof info);

    std::vector<uint8_t> row(static_cast<size_t>(Width) * 4);
    const RECT area{0, 0, static_cast<LONG>(Width), static_cast<LONG>(Height)};
    const D3DLOCKED_RECT locked =
        Width > 0 && Height > 0 ? LockRect(0, &area, D3DLOCK_READONLY) : D3DLOCKED_RECT{};
    // Without a lock (reported) the image still gets every row its header
    // promises, zero-filled, so the bitmap stays well-formed.
    const uint8_t* const bits = static_cast<const uint8_t*>(locked.pBits);
    for (uint32_t y = Height; y-- > 0;) {
        if (bits != nullptr) {
            const uint8_t* source = bits + static_cast<size_t>(y) * locked.Pitch;
            for (uint32_t x = 0; x < Width; ++x) {
                uint32_t pixel = 0;
                std::memcpy(&pixel, source + static_cast<size_t>(x) * BytesPerPixel, BytesPerPixel);
                const uint32_t argb = PixelToARGB(pixel, Format);
                std::memcpy(&row[static_cast<size_t>(x) * 4], &argb, 4);
            }
        }
        stream.WriteBuffer(row.data(), static_cast<int64_t>(row.size()));
    }
    if (bits != nullptr) UnlockRect();
}

void TKVTexture::OnRelease() {
    if (Texture == nullptr) return;
    if (Source == kvsProgram && KeepContents) {
        Backup = std::make_unique<TMemoryStream>();
        SaveToStream(*Backup);
        Backup->SetPosition(0);
    }
    ReleaseTexture(false);
}

void TKVTexture::OnRebuild() {
    struct TRebuildScope {
        bool& flag;
        explicit TRebuildScope(bool& f) : flag(f) { flag = true; }
        ~TRebuildScope() { flag = false; }
    } scope(Rebuilding);
    if (!KeepContents) {
        SetSize(Width, Height);
    } else if (Source == kvsFile) {
        LoadFromFile(FileName, "");
    } else if (Source == kvsArchive) {
        LoadFromFile(ArchiveID, ArchiveName);
    } else if (Source == kvsProgram && Backup != nullptr) {
        LoadFromStream(*Backup);
        Backup.reset();
    } else {
        // Never sized, or written by the program without a backup (the device
        // went away while no texture existed): the size comes back, in ClearColor.
        SetSize(Width, Height);
    }
}

void TKVTexture::OnDeviceLost() {
    if (Pool == D3DPOOL_DEFAULT) OnRelease();
}

void TKVTexture::OnDeviceReset() {
    if (Pool == D3DPOOL_DEFAULT) SetSize(Width, Height);
}

}  // namespace wbx
