#include "app/compressedfile.h"

#include <algorithm>
#include <vector>

#include "base/filestream.h"
#include "base/format.h"
#include "base/zstream.h"

namespace wbx {

namespace {

// The same kind of exception, its message extended by the file's name.
[[noreturn]] void RaiseNamingFile(const EStreamError& error, const std::string& fileName) {
    const std::string message = Format("%s: \"%s\"", error.Message(), fileName);
    if (dynamic_cast<const EZDecompressionError*>(&error)) throw EZDecompressionError(message);
    if (dynamic_cast<const EReadError*>(&error)) throw EReadError(message);
    throw EStreamError(message);
}

}  // namespace

bool ReadCompressedFile(const std::string& fileName, TMemoryStream& dest) {
    if (!FileExists(fileName)) return false;
    TFileStream file(fileName, fmOpenRead | fmShareDenyNone);
    const int64_t start = dest.Position();
    try {
        const int64_t declaredSize = file.ReadValue<int32_t>();
        file.ReadValue<int32_t>();  // the second value is not used
        if (declaredSize > kMaxCompressedContentSize)
            throw EReadError(Format("Declared content size %d is implausible", declaredSize));
        const int64_t contentSize = std::max<int64_t>(declaredSize, 0);
        dest.SetSize(start);
        if (contentSize > 0) {
            TDecompressionStream inflater(file);
            // Copy in chunks so a declared size that the stream does not back up
            // fails after reading what is there, not after allocating all of it.
            constexpr int64_t kChunk = 64 * 1024;
            std::vector<uint8_t> chunk(static_cast<size_t>(std::min(contentSize, kChunk)));
            int64_t left = contentSize;
            try {
                while (left > 0) {
                    const int64_t n = std::min(left, kChunk);
                    inflater.ReadBuffer(chunk.data(), n);
                    dest.WriteBuffer(chunk.data(), n);
                    left -= n;
                }
            } catch (...) {
                dest.SetPosition(start);
                throw;
            }
        }
        dest.SetPosition(start);
    } catch (const EStreamError& error) {
        RaiseNamingFile(error, fileName);
    }
    return true;
}

}  // namespace wbx
