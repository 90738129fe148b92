#include "sampledata/compressedfile.h"

#include <zlib.h>

#include <limits>
#include <stdexcept>

#include "sampledata/bytewriter.h"

namespace wbx::sampledata {

std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> data, int level) {
    if (level < 0 || level > 9) throw std::invalid_argument("zlib level must be 0..9");
    uLongf bound = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(bound);
    // compress2 accepts an empty input (it still writes header and trailer).
    const int rc = compress2(out.data(), &bound, data.data(), static_cast<uLong>(data.size()), level);
    if (rc != Z_OK) throw std::runtime_error("zlib compression failed");
    out.resize(bound);
    return out;
}

std::vector<uint8_t> EncodeCompressedFile(std::span<const uint8_t> content,
                                          const CompressedFileOptions& options) {
    const int64_t declared = static_cast<int64_t>(content.size()) + options.DeclaredSizeDelta;
    if (declared < std::numeric_limits<int32_t>::min() || declared > std::numeric_limits<int32_t>::max()) {
        throw std::invalid_argument("declared size does not fit 32 bits");
    }
    const std::vector<uint8_t> stream = ZlibCompress(content, options.Level);
    ByteWriter out;
    out.Reserve(8 + stream.size());
    out.Put<int32_t>(static_cast<int32_t>(declared));
    out.Put<uint32_t>(options.SecondValue.value_or(static_cast<uint32_t>(stream.size())));
    out.PutBytes(stream);
    return out.Take();
}

}  // namespace wbx::sampledata
