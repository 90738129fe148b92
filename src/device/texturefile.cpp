// Loading a texture from a bitmap file or from a bitmap entry of an archive.

#include <exception>
#include <memory>

#include "archive/archive.h"
#include "base/filestream.h"
#include "base/format.h"
#include "device/bitmap.h"
#include "device/diagnostics.h"
#include "device/texture.h"

namespace wbx {

void TKVTexture::LoadFromFile(const std::string& name, const std::string& archiveName) {
    const bool fromFile = archiveName.empty();
    try {
        std::unique_ptr<TStream> stream;
        if (fromFile) {
            WriteDetailLog(wbx::Format("ID %d(%s) のテクスチャに、%s を読み込みます", ID, Name, name));
            stream = std::make_unique<TFileStream>(name, fmOpenRead | fmShareDenyNone);
        } else {
            WriteDetailLog(wbx::Format("ID %d(%s) のテクスチャに、VRAファイル%s から ID %s を読み込みます",
                                       ID, Name, archiveName, name));
            stream = ReadArchiveFile(archiveName, name);
        }
        const TBitmapInfoHeader info = ReadBitmapInfo(*stream, 0);
        SetSize(static_cast<uint32_t>(info.Width), static_cast<uint32_t>(info.Height));
        stream->SetPosition(0);
        if (Texture != nullptr) LoadBMP(Texture, *stream);
    } catch (const std::exception&) {
        CheckResult(1, fromFile ? name + "からの、読み込みエラー"
                                : name + " ＠ " + archiveName + "からの、読み込みエラー");
    }
    // Recorded even after a failure, so that a rebuild tries the same load again.
    if (fromFile) {
        Source = kvsFile;
        FileName = name;
    } else {
        Source = kvsArchive;
        ArchiveName = archiveName;
        ArchiveID = name;
    }
}

}  // namespace wbx
