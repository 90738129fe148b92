#include "viewer/compressedfile.h"

#include <libdeflate.h>

#include <algorithm>
#include <memory>

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

// The wrapper's two 32-bit values come first; the zlib stream follows.
constexpr int64_t kWrapperBytes = 8;

// What the wrapper says and what follows it.
struct TWrapper {
    int64_t ContentSize = 0;   // 0 for a declared size of 0 or less
    int64_t DeflateBytes = 0;  // the bytes of the file after the wrapper
};

// Reads the wrapper's two values, leaving file (at its start) at the zlib
// stream. Raises for a size no layer file can have.
TWrapper ReadWrapper(TFileStream& file) {
    int32_t values[2];  // the declared size; the second value is not used
    file.ReadBuffer(values, kWrapperBytes);
    const int64_t declaredSize = values[0];
    if (declaredSize > kMaxCompressedContentSize)
        throw EReadError(Format("Declared content size %d is implausible", declaredSize));
    TWrapper wrapper;
    wrapper.ContentSize = std::max<int64_t>(declaredSize, 0);
    // Deflate cannot expand its input more than about 1032 times; a declared
    // size beyond what the file could hold is damage, refused before
    // anything is allocated or inflated.
    wrapper.DeflateBytes = file.Remaining();
    if (wrapper.ContentSize > (wrapper.DeflateBytes + 1) * kMaxDeflateRatio)
        throw EReadError(Format("Declared content size %d exceeds what %d compressed bytes can hold",
                                wrapper.ContentSize, wrapper.DeflateBytes));
    return wrapper;
}

// zlib's streaming inflate: exactly the content size from file's position
// into out, raising what the decompression stream raises.
void InflateStreamed(TFileStream& file, uint8_t* out, const TWrapper& wrapper) {
    TDecompressionStream inflater(file);
    inflater.ReadBuffer(out, wrapper.ContentSize);
}

struct TDecompressorDeleter {
    void operator()(libdeflate_decompressor* decompressor) const {
        libdeflate_free_decompressor(decompressor);
    }
};

// One decompressor per thread, made on first use (nullptr when it could not be had).
libdeflate_decompressor* ThreadDecompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, TDecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    return decompressor.get();
}

// The whole stream in one call, from the compressed bytes read at once. True
// only when the stream is sound (header, deflate data and checksum) and
// inflates to exactly contentSize bytes; in every other case the file's
// position and out's bytes are unspecified, and the caller inflates again
// the streaming way, which then decides what the content or the error is.
bool InflateWhole(TFileStream& file, uint8_t* out, const TWrapper& wrapper) {
    libdeflate_decompressor* decompressor = ThreadDecompressor();
    if (decompressor == nullptr) return false;
    // A sound stream of contentSize bytes is at most this long even when it
    // holds them uncompressed (stored blocks: 5 bytes per 65535); a longer one
    // is not read whole, and one that needs more is left to the streaming path.
    const int64_t contentSize = wrapper.ContentSize;
    const int64_t limit = contentSize + contentSize / 8 + 1024;
    const int64_t inputSize = std::min(wrapper.DeflateBytes, limit);
    const std::unique_ptr<uint8_t[]> input(new uint8_t[static_cast<size_t>(inputSize)]);
    for (int64_t got = 0; got < inputSize;) {
        const int64_t n = file.Read(input.get() + got, inputSize - got);
        if (n <= 0) return false;  // the file shrank meanwhile
        got += n;
    }
    size_t inflated = 0;
    const libdeflate_result result =
        libdeflate_zlib_decompress(decompressor, input.get(), static_cast<size_t>(inputSize), out,
                                   static_cast<size_t>(contentSize), &inflated);
    return result == LIBDEFLATE_SUCCESS && inflated == static_cast<size_t>(contentSize);
}

// Both ways of reading share everything but the inflating.
template <class TInflate>
bool ReadWith(const std::string& fileName, TMemoryStream& dest, TInflate inflate) {
    if (!FileExists(fileName)) return false;
    TFileStream file(fileName, fmOpenRead | fmShareDenyNone);
    const int64_t start = dest.Position();
    try {
        const TWrapper wrapper = ReadWrapper(file);
        dest.SetSize(start + wrapper.ContentSize);
        if (wrapper.ContentSize > 0) {
            try {
                inflate(file, dest.Memory() + start, wrapper);
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

}  // namespace

bool ReadCompressedFile(const std::string& fileName, TMemoryStream& dest) {
    return ReadWith(fileName, dest, [](TFileStream& file, uint8_t* out, const TWrapper& wrapper) {
        if (InflateWhole(file, out, wrapper)) return;
        file.SetPosition(kWrapperBytes);
        InflateStreamed(file, out, wrapper);
    });
}

bool ReadCompressedFileStreamed(const std::string& fileName, TMemoryStream& dest) {
    return ReadWith(fileName, dest, InflateStreamed);
}

}  // namespace wbx
