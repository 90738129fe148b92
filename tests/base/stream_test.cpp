#include "base/stream.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/filestream.h"
#include "base/path.h"
#include "base/zstream.h"

namespace wbx {
namespace {

std::string TempPath(const std::string& name) {
    return std::string(::testing::TempDir()) + "wbx_base_" + std::to_string(::getpid()) + "_" + name;
}

TEST(MemoryStream, ReadWriteSeekAndSize) {
    TMemoryStream s;
    s.WriteValue<uint32_t>(0x11223344);
    s.WriteValue<uint16_t>(0x5566);
    EXPECT_EQ(s.Size(), 6);
    EXPECT_EQ(s.Position(), 6);
    s.SetPosition(0);
    EXPECT_EQ(s.ReadValue<uint32_t>(), 0x11223344u);
    EXPECT_EQ(s.Memory()[0], 0x44);  // little-endian on disk and in memory
    EXPECT_EQ(s.Remaining(), 2);
    EXPECT_EQ(s.Seek(-1, SeekOrigin::End), 5);
    EXPECT_EQ(s.ReadValue<uint8_t>(), 0x55);
    EXPECT_THROW(s.Seek(-7, SeekOrigin::Current), EStreamError);
}

TEST(MemoryStream, ShortReadBufferRaisesButReadReturnsWhatThereIs) {
    TMemoryStream s;
    const uint8_t bytes[3] = {1, 2, 3};
    s.WriteBuffer(bytes, 3);
    s.SetPosition(1);
    uint8_t out[8] = {};
    EXPECT_EQ(s.Read(out, 8), 2);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(s.Read(out, 8), 0);
    s.SetPosition(1);
    EXPECT_THROW(s.ReadBuffer(out, 3), EReadError);
    s.SetPosition(100);  // past the end: reads nothing, writes extend with zeros
    EXPECT_EQ(s.Read(out, 1), 0);
    s.WriteValue<uint8_t>(9);
    EXPECT_EQ(s.Size(), 101);
    EXPECT_EQ(s.Memory()[50], 0);
}

TEST(MemoryStream, SetSizeKeepsPositionInsideAndZeroFills) {
    TMemoryStream s;
    s.SetSize(10);
    EXPECT_EQ(s.Memory()[9], 0);
    s.SetPosition(8);
    s.SetSize(4);
    EXPECT_EQ(s.Position(), 4);
    EXPECT_THROW(s.SetSize(-1), EStreamError);
}

TEST(MemoryStream, CopyFromCopiesExactlyOrRaises) {
    TMemoryStream src;
    for (int i = 0; i < 200000; ++i) src.WriteValue<uint8_t>(static_cast<uint8_t>(i * 7));
    src.SetPosition(10);
    TMemoryStream dst;
    EXPECT_EQ(dst.CopyFrom(src, 150000), 150000);
    EXPECT_EQ(dst.Memory()[0], static_cast<uint8_t>(70));
    EXPECT_THROW(dst.CopyFrom(src, 60000), EReadError);  // only 49990 left
    TMemoryStream all;
    all.CopyFrom(src, 0);  // 0 = all of it, from the start
    EXPECT_EQ(all.Size(), 200000);
}

TEST(FileStream, MissingFileRaisesOpenErrorNamingIt) {
    const std::string name = TempPath("does-not-exist.bin");
    try {
        TFileStream f(name, fmOpenRead | fmShareDenyNone);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find(name), std::string::npos);
    }
    EXPECT_FALSE(FileExists(name));
    EXPECT_THROW(TFileStream(::testing::TempDir(), fmOpenRead), EFOpenError);  // a directory is no file
    // Nor does it exist as one; it exists as a directory.
    EXPECT_FALSE(FileExists(::testing::TempDir()));
    EXPECT_TRUE(DirectoryExists(::testing::TempDir()));
    EXPECT_FALSE(DirectoryExists(name));
    EXPECT_FALSE(DirectoryExists(""));
}

TEST(FileStream, CreateWriteReopenReadAndTruncate) {
    const std::string name = TempPath("roundtrip.bin");
    {
        TFileStream f(name, fmCreate);
        f.WriteValue<int32_t>(-5);
        f.WriteValue<int32_t>(7);
        EXPECT_EQ(f.Size(), 8);
    }
    EXPECT_TRUE(FileExists(name));
    {
        TFileStream f(name, fmOpenRead | fmShareDenyNone);
        EXPECT_EQ(f.ReadValue<int32_t>(), -5);
        EXPECT_EQ(f.Position(), 4);
        f.Seek(0, SeekOrigin::End);
        EXPECT_THROW(f.ReadValue<int32_t>(), EReadError);
    }
    {
        TFileStream f(name, fmOpenReadWrite);
        f.SetSize(2);
        EXPECT_EQ(f.Size(), 2);
    }
    TMemoryStream m;
    m.LoadFromFile(name);
    EXPECT_EQ(m.Size(), 2);
    std::remove(name.c_str());
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

TEST(DecompressionStream, InflatesOnDemandFromTheSourcePosition) {
    std::vector<uint8_t> plain(300000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>((i * i) >> 3);
    const std::vector<uint8_t> packed = Deflate(plain);
    TMemoryStream source;
    source.WriteValue<uint64_t>(0xDEADBEEF);  // a header before the zlib stream
    source.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
    source.SetPosition(8);
    TDecompressionStream z(source);
    std::vector<uint8_t> got(plain.size());
    z.ReadBuffer(got.data(), 1000);
    z.ReadBuffer(got.data() + 1000, static_cast<int64_t>(plain.size()) - 1000);
    EXPECT_EQ(got, plain);
    uint8_t extra;
    EXPECT_EQ(z.Read(&extra, 1), 0);
    EXPECT_TRUE(z.Finished());
    EXPECT_THROW(z.ReadBuffer(&extra, 1), EReadError);
}

TEST(DecompressionStream, ReadsAsMuchAsAskedInAnyPieces) {
    // What the layer files need: a declared size below what the stream holds
    // reads that much and no error (the rest and the checksum stay unread);
    // the bytes do not depend on how the reads are cut.
    std::vector<uint8_t> plain(70000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i % 251);
    const std::vector<uint8_t> packed = Deflate(plain);
    TMemoryStream source;
    source.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
    source.SetPosition(0);
    TDecompressionStream z(source);
    std::vector<uint8_t> got(plain.size() - 1000);
    size_t done = 0;
    for (int64_t piece = 1; done < got.size(); piece = piece * 3 + 1) {
        const int64_t n = std::min<int64_t>(piece, static_cast<int64_t>(got.size() - done));
        z.ReadBuffer(got.data() + done, n);
        done += static_cast<size_t>(n);
    }
    EXPECT_TRUE(std::equal(got.begin(), got.end(), plain.begin()));
    EXPECT_FALSE(z.Finished());
    uint8_t last[5000];
    EXPECT_EQ(z.Read(last, sizeof last), 1000);
    EXPECT_TRUE(std::equal(last, last + 1000, plain.end() - 1000));
    EXPECT_TRUE(z.Finished());
    EXPECT_EQ(z.Read(last, 1), 0);
}

TEST(DecompressionStream, DamagedOrCutStreamsRaise) {
    std::vector<uint8_t> plain(5000, 'a');
    std::vector<uint8_t> packed = Deflate(plain);
    {
        TMemoryStream src;
        const uint8_t junk[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
        src.WriteBuffer(junk, sizeof junk);
        src.SetPosition(0);
        TDecompressionStream z(src);
        uint8_t b[16];
        EXPECT_THROW(z.Read(b, sizeof b), EZDecompressionError);
    }
    {
        TMemoryStream src;
        src.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()) / 2);
        src.SetPosition(0);
        TDecompressionStream z(src);
        std::vector<uint8_t> b(plain.size());
        EXPECT_THROW(z.ReadBuffer(b.data(), static_cast<int64_t>(b.size())), EStreamError);
    }
    {
        packed[packed.size() - 1] ^= 0xFF;  // Adler-32 trailer
        TMemoryStream src;
        src.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
        src.SetPosition(0);
        TDecompressionStream z(src);
        std::vector<uint8_t> b(plain.size() + 1);
        EXPECT_THROW(z.Read(b.data(), static_cast<int64_t>(b.size())), EZDecompressionError);
    }
}

TEST(Path, DelimitersExtensionsAndExecutable) {
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/data"), "/data/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/data/"), "/data/");
    EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(ExtractFilePath("c.txt"), "");
    EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(ChangeFileExt("/opt/wardrobix", ".ini"), "/opt/wardrobix.ini");
    EXPECT_EQ(ChangeFileExt("/opt/viewer.exe", ".ini"), "/opt/viewer.ini");
    EXPECT_EQ(ChangeFileExt("/opt.d/viewer", ".ini"), "/opt.d/viewer.ini");
    EXPECT_FALSE(ExecutableFileName().empty());
    EXPECT_TRUE(FileExists(ExecutableFileName()));
}

}  // namespace
}  // namespace wbx
