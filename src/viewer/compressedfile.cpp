#include "viewer/compressedfile.h"

#include <algorithm>

#include "base/filestream.h"
#include "base/format.h"
#include "base/zstream.h"

namespace wbx {

namespace {

// The most bytes deflate can produce from one byte of compressed data.
constexpr int64_t kMaxDeflateRatio = 1032;

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
        // Deflate cannot expand its input more than about 1032 times; a declared
        // size beyond what the file could hold is damage, refused before
        // anything is allocated or inflated.
        const int64_t deflateBytes = file.Remaining();
        if (contentSize > (deflateBytes + 1) * kMaxDeflateRatio)
            throw EReadError(Format("Declared content size %d exceeds what %d compressed bytes can hold",
                                    contentSize, deflateBytes));
        dest.SetSize(start + contentSize);
        if (contentSize > 0) {
            TDecompressionStream inflater(file);
            try {
                inflater.ReadBuffer(dest.Memory() + start, contentSize);
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
