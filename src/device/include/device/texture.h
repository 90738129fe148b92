#pragma once
// TKVTexture: one Direct3D 9 texture of a device component. It picks its
// format from a list of candidates, is created at a requested size (raised to
// what the device accepts), fills rectangles, loads bitmaps from streams,
// files and archive entries, saves itself as a 32-bit bitmap, and follows the
// device through re-creation and reset via the component's registry.
//
// Rectangles are half-open (right and bottom excluded). Only level 0 is ever
// filled or loaded. Contents across a re-creation of the device (OnRelease +
// OnRebuild): a texture of a non-default pool reloads its file or archive
// entry, or gets contents written by the program back from a 32-bit bitmap
// backup; a default-pool texture comes back empty. Across a reset only
// default-pool textures are re-created, empty.
//
// Failures go through CheckResult (diagnostics.h) and are never raised.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "d3d9/d3d9.h"
#include "device/resource.h"

namespace wbx {

class TKorvane;

// Where a texture's contents came from.
enum TKVTextureSource : uint8_t {
    kvsNone = 0,     // never sized or loaded
    kvsFile = 1,     // bitmap file FileName
    kvsArchive = 2,  // entry ArchiveID of archive ArchiveName
    kvsProgram = 3,  // written by the program (SetSize, a writing lock, a stream load)
};

class TKVTexture : public TKVResource {
public:
    // Registers with deviceComponent (not owned; must outlive the texture).
    // Creates no Direct3D texture yet. levels 0 = a full mip chain.
    TKVTexture(TKorvane* deviceComponent, std::vector<D3DFORMAT> candidateFormats, uint32_t usage,
               D3DPOOL pool, uint32_t levels, std::string name);
    ~TKVTexture() override;

    // Re-creates the Direct3D texture for a width x height image (every call,
    // also for an unchanged size); the device's POW2/SQUAREONLY rules may make
    // it larger. A managed texture is filled with ClearColor. A zero width or
    // height makes no Direct3D texture and reports nothing.
    void SetSize(uint32_t width, uint32_t height);
    // Locks rect (nullptr: all) of level. A lock without D3DLOCK_READONLY marks
    // a texture with a source as written by the program. Returns {0, nullptr}
    // when there is no texture or the lock fails (both reported).
    D3DLOCKED_RECT LockRect(uint32_t level, const RECT* rect, uint32_t flags);
    void UnlockRect();
    // Fills rect of level 0 with an ARGB colour; keepAlpha keeps every pixel's alpha.
    void FillColor(const RECT& rect, uint32_t color, bool keepAlpha);
    // Loads a bitmap file (archiveName empty) or entry `name` of archive archiveName.
    void LoadFromFile(const std::string& name, const std::string& archiveName);
    // Loads a bitmap image at the stream's position (the caller keeps the stream).
    void LoadFromStream(TStream& stream);
    // Writes the requested Width x Height area as a bottom-up 32-bit bitmap image.
    void SaveToStream(TStream& stream);

    // Registry notifications; called only by the device component.
    void OnRelease();
    void OnRebuild();
    void OnDeviceLost();
    void OnDeviceReset();

    int32_t ID = 0;
    std::string Name;
    TKorvane* DeviceComponent = nullptr;      // not owned
    D3DFORMAT Format = D3DFMT_UNKNOWN;        // of the current Direct3D texture
    std::vector<D3DFORMAT> CandidateFormats;  // in order of preference
    uint32_t Width = 0;                       // requested size, pixels
    uint32_t Height = 0;
    uint32_t TextureWidth = 0;  // size of the Direct3D texture, pixels
    uint32_t TextureHeight = 0;
    IDirect3DTexture9* Texture = nullptr;  // owned reference, or nullptr; others lock and bind it
    uint32_t Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    uint32_t ClearColor = 0;     // ARGB that SetSize fills a non-default-pool texture with
    int32_t LockedPitch = 0;     // bytes per row of the last lock
    void* LockedBits = nullptr;  // first pixel of the last lock
    uint32_t LockedLevel = 0;
    uint32_t BytesPerPixel = 0;
    uint32_t Levels = 0;
    bool KeepContents = false;  // Pool is not D3DPOOL_DEFAULT
    TKVTextureSource Source = kvsNone;
    std::string FileName;     // source kvsFile
    std::string ArchiveName;  // source kvsArchive
    std::string ArchiveID;
    std::unique_ptr<TMemoryStream> Backup;  // 32-bit bitmap image while the texture is released
    bool Rebuilding = false;                // OnRebuild is reloading the contents

private:
    D3DFORMAT ChooseFormat();
    void AllocateTexture(uint32_t width, uint32_t height);
    void ReleaseTexture(bool checkCount);
    bool HasDevice() const;
};

}  // namespace wbx
