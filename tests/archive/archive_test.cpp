#include "archive/archive.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "archive/vraformat.h"
#include "archivewriter.h"
#include "base/filestream.h"

namespace wbx {
namespace {

using testing::ArchiveWriter;
using testing::Bytes;
using testing::PatchU32;
using testing::ToBytes;

const std::string kNotArchive = "Velvet Rook Archiveの扱えるデータではありません";

std::string NotFoundMessage(const std::string& id) {
    return "アーカイブ内には指定されたID '" + id + "' を持つデータが見つかりません";
}

Bytes Read(const Bytes& archive, const std::string& id) {
    TMemoryStream stream;
    stream.Bytes() = archive;
    auto result = ReadArchiveEntry(stream, id);
    EXPECT_EQ(result->Position(), 0);
    return result->Bytes();
}

// The message of the EVRAError the lookup raises ("" when none is raised).
std::string ReadError(const Bytes& archive, const std::string& id) {
    try {
        Read(archive, id);
    } catch (const EVRAError& e) {
        return e.Message();
    }
    return "";
}

Bytes SampleArchive(bool packed) {
    ArchiveWriter writer(packed, {.blockSize = 1500});
    writer.Add("body01", testing::RepetitiveText(5000));
    writer.Add("hair_02.bmp", testing::RandomBytes(3000));
    writer.Add("empty", {});
    writer.Add("tiny", {42});
    return writer.Build();
}

TEST(ReadArchiveEntry, StoredEntriesComeBackExactly) {
    const Bytes archive = SampleArchive(false);
    EXPECT_EQ(Read(archive, "body01"), testing::RepetitiveText(5000));
    EXPECT_EQ(Read(archive, "hair_02.bmp"), testing::RandomBytes(3000));
    EXPECT_EQ(Read(archive, "empty"), Bytes{});
    EXPECT_EQ(Read(archive, "tiny"), Bytes{42});
}

TEST(ReadArchiveEntry, PackedEntriesAreExpanded) {
    const Bytes archive = SampleArchive(true);
    EXPECT_LT(archive.size(), SampleArchive(false).size());
    EXPECT_EQ(Read(archive, "body01"), testing::RepetitiveText(5000));
    EXPECT_EQ(Read(archive, "hair_02.bmp"), testing::RandomBytes(3000));
    EXPECT_EQ(Read(archive, "empty"), Bytes{});
    EXPECT_EQ(Read(archive, "tiny"), Bytes{42});
}

TEST(ReadArchiveEntry, AnyFlagOtherThanOneMeansStored) {
    Bytes archive = SampleArchive(false);
    PatchU32(archive, 0, 2);
    EXPECT_EQ(Read(archive, "tiny"), Bytes{42});
    PatchU32(archive, 0, 0xFFFFFFFF);
    EXPECT_EQ(Read(archive, "body01"), testing::RepetitiveText(5000));
}

TEST(ReadArchiveEntry, IdsIgnoreAsciiCaseAndTheFirstMatchWins) {
    ArchiveWriter writer(false);
    writer.Add("body01", ToBytes("first"));
    writer.Add("BODY01", ToBytes("second"));
    writer.Add("Tex_A", ToBytes("tex"));
    writer.Add("Zip_z", ToBytes("z"));  // the last letter in either case
    const Bytes archive = writer.Build();
    EXPECT_EQ(Read(archive, "Body01"), ToBytes("first"));
    EXPECT_EQ(Read(archive, "BODY01"), ToBytes("first"));
    EXPECT_EQ(Read(archive, "tex_a"), ToBytes("tex"));
    EXPECT_EQ(Read(archive, "zIP_Z"), ToBytes("z"));
    EXPECT_EQ(ReadError(archive, "body0"), NotFoundMessage("body0"));
    EXPECT_EQ(ReadError(archive, "body01 "), NotFoundMessage("body01 "));
}

TEST(ReadArchiveEntry, LargeDirectoriesAreSearchedToTheEnd) {
    ArchiveWriter writer(false);
    for (int i = 0; i < 300; ++i) writer.Add("part" + std::to_string(i), Bytes{static_cast<uint8_t>(i)});
    writer.Add("part200", Bytes{1, 2, 3});  // a later duplicate never wins
    const Bytes archive = writer.Build();
    for (int i : {0, 127, 128, 200, 255, 256, 299}) {
        EXPECT_EQ(Read(archive, "PART" + std::to_string(i)), Bytes{static_cast<uint8_t>(i)}) << i;
    }
    EXPECT_EQ(ReadError(archive, "part300"), NotFoundMessage("part300"));
    // An ID with a zero byte in it can never match a zero-terminated field.
    EXPECT_EQ(ReadError(archive, std::string("part1\0", 6)), NotFoundMessage(std::string("part1\0", 6)));
}

TEST(ReadArchiveEntry, IdsAreCodePage932TextLoweredCharacterByCharacter) {
    ArchiveWriter writer(false);
    writer.Add("\x83\x41", ToBytes("katakana a"));             // ア
    writer.Add("\x82\x60\x82\x61", ToBytes("full-width AB"));  // ＡＢ
    writer.Add("\x83\x9F\x83\xA8", ToBytes("greek"));          // ΑΚ
    writer.Add("\x84\x40\x84\x46", ToBytes("cyrillic"));       // АЁ
    writer.Add("\x87\x54", ToBytes("roman one"));              // Ⅰ
    writer.Add("\xFA\x5C", ToBytes("kanji"));                  // 纊 (IBM extension)
    writer.Add("tex\x85\x41", ToBytes("no character"));        // 85 41 is unassigned
    writer.Add("\xB1", ToBytes("half-width"));                 // ｱ
    writer.Add("\xEF\xBD\x81", ToBytes("utf-8"));              // ａ in UTF-8
    const Bytes archive = writer.Build();
    // The second byte of a character is no letter: ヂ (83 61) is not ア (83 41).
    EXPECT_EQ(ReadError(archive, "\x83\x61"), NotFoundMessage("\x83\x61"));
    EXPECT_EQ(Read(archive, "\x83\x41"), ToBytes("katakana a"));
    // The capitals of the code page match their small letters.
    EXPECT_EQ(Read(archive, "\x82\x81\x82\x61"), ToBytes("full-width AB"));  // ａＢ
    EXPECT_EQ(Read(archive, "\x83\xBF\x83\xC8"), ToBytes("greek"));          // ακ
    EXPECT_EQ(Read(archive, "\x84\x70\x84\x76"), ToBytes("cyrillic"));       // аё
    EXPECT_EQ(Read(archive, "\xFA\x40"), ToBytes("roman one"));              // ⅰ
    EXPECT_EQ(Read(archive, "\xEE\xEF"), ToBytes("roman one"));              // ⅰ, its other code
    // The two codes of one character are that character.
    EXPECT_EQ(Read(archive, "\xED\x40"), ToBytes("kanji"));
    // Bytes that are no character compare as they are, the ASCII around them lowered.
    EXPECT_EQ(Read(archive, "TEX\x85\x41"), ToBytes("no character"));
    EXPECT_NE(ReadError(archive, "tex\x85\x61"), "");
    EXPECT_EQ(Read(archive, "\xB1"), ToBytes("half-width"));
    EXPECT_EQ(Read(archive, "\xEF\xBD\x81"), ToBytes("utf-8"));
    EXPECT_NE(ReadError(archive, "\xEF\xBC\xA1"), "");  // Ａ in UTF-8 is no capital of it here
    EXPECT_NE(ReadError(archive, "\x83"), "");          // half a character
}

TEST(ReadArchiveEntry, IdFieldWithoutTerminatorUsesAllOfIt) {
    const std::string longId(kVRAIdSize, 'x');
    ArchiveWriter writer(false);
    writer.Add(longId, ToBytes("long"));
    const Bytes archive = writer.Build();
    EXPECT_EQ(Read(archive, std::string(kVRAIdSize, 'X')), ToBytes("long"));
    EXPECT_NE(ReadError(archive, longId + "x"), "");
}

TEST(ReadArchiveEntry, MissingEntriesAreNotFound) {
    EXPECT_EQ(ReadError(ArchiveWriter(false).Build(), "body01"), NotFoundMessage("body01"));
    EXPECT_EQ(ReadError(ArchiveWriter(true).Build(), ""), NotFoundMessage(""));
    // An entry whose data offset is 0 (the header) has no data.
    Bytes archive = SampleArchive(false);
    PatchU32(archive, ArchiveWriter::EntryRecord(0), 0);
    EXPECT_EQ(ReadError(archive, "Body01"), NotFoundMessage("Body01"));
}

TEST(ReadArchiveEntry, RefusesWhatIsNotAnArchive) {
    Bytes archive = SampleArchive(false);
    archive[7] = '1';
    EXPECT_EQ(ReadError(archive, "tiny"), kNotArchive);
    EXPECT_EQ(ReadError({}, "tiny"), kNotArchive);
    const Bytes headerOnly(archive.begin(), archive.begin() + 200);
    EXPECT_EQ(ReadError(headerOnly, "tiny"), kNotArchive);
}

TEST(ReadArchiveEntry, RefusesImplausibleEntryCounts) {
    const Bytes good = SampleArchive(false);
    for (uint32_t count : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 5000u}) {
        Bytes archive = good;
        PatchU32(archive, 8, count);
        const std::string message = ReadError(archive, "tiny");
        EXPECT_NE(message.find("エントリ数"), std::string::npos) << count;
    }
    // A directory cut short by the end of the file.
    const Bytes cut(good.begin(), good.begin() + kVRAHeaderSize + 3 * kVRAEntrySize + 10);
    EXPECT_NE(ReadError(cut, "tiny").find("エントリ数"), std::string::npos);
    // Fewer entries than written is fine: the rest is just data.
    Bytes fewer = good;
    PatchU32(fewer, 8, 1);
    EXPECT_EQ(Read(fewer, "BODY01"), testing::RepetitiveText(5000));
    EXPECT_EQ(ReadError(fewer, "tiny"), NotFoundMessage("tiny"));
}

TEST(ReadArchiveEntry, RefusesEntriesReachingPastTheFile) {
    for (bool packed : {false, true}) {
        const Bytes good = SampleArchive(packed);
        const size_t tiny = ArchiveWriter::EntryRecord(3);
        const size_t sizeField = tiny + (packed ? 4 : 8);  // the size that is read from the file
        const uint32_t offset = good[tiny] | good[tiny + 1] << 8 | good[tiny + 2] << 16;
        const auto oneTooMany = static_cast<uint32_t>(good.size() - offset + 1);  // tiny is the last entry
        struct Damage {
            size_t field;
            uint32_t value;
        };
        for (const Damage& d : {Damage{tiny, static_cast<uint32_t>(good.size())}, Damage{tiny, 0xFFFFFFFF},
                                Damage{sizeField, oneTooMany}, Damage{sizeField, 0xFFFFFFF0}}) {
            Bytes archive = good;
            PatchU32(archive, d.field, d.value);
            EXPECT_NE(ReadError(archive, "tiny").find("越えています"), std::string::npos)
                << "packed " << packed << " field " << d.field << " value " << d.value;
        }
        // The last byte of the file is still inside.
        EXPECT_EQ(Read(good, "tiny"), Bytes{42});
    }
}

TEST(ReadArchiveEntry, RefusesDamagedPackedData) {
    Bytes archive = SampleArchive(true);
    const size_t body = ArchiveWriter::EntryRecord(0);
    // Expanded size far above what the packed bytes can stand for.
    PatchU32(archive, body + 8, 0x7FFFFFFF);
    EXPECT_NE(ReadError(archive, "body01").find("展開後サイズ"), std::string::npos);
    // Stored size cut: the packed data ends inside a block.
    archive = SampleArchive(true);
    const uint32_t stored = archive[body + 4] | archive[body + 5] << 8;
    PatchU32(archive, body + 4, stored - 3);
    EXPECT_NE(ReadError(archive, "body01").find("途中で終わって"), std::string::npos);
    // A packed entry larger than the cap given.
    archive = SampleArchive(true);
    TMemoryStream stream;
    stream.Bytes() = archive;
    EXPECT_THROW(ReadArchiveEntry(stream, "body01", 4999), EVRAError);
}

TEST(ReadArchiveEntry, APackedEntryComesBackWholeWhateverItsExpandedSizeSays) {
    Bytes archive = SampleArchive(true);
    const size_t body = ArchiveWriter::EntryRecord(0);
    // Less than the data holds: all of it.
    PatchU32(archive, body + 8, 4000);
    EXPECT_EQ(Read(archive, "body01"), testing::RepetitiveText(5000));
    // More: the data, then zeros up to the size.
    PatchU32(archive, body + 8, 6000);
    Bytes padded = testing::RepetitiveText(5000);
    padded.resize(6000, 0);
    EXPECT_EQ(Read(archive, "body01"), padded);
}

// Open descriptors of this process, to see that the archive file is closed.
int OpenFileCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

TEST(ReadArchiveFile, ReadsFromDiskAndClosesTheFileOnEveryWayOut) {
    const std::string fileName = std::string(WBX_TEST_BINARY_DIR) + "/read_archive_file.vra";
    TMemoryStream file;
    file.Bytes() = SampleArchive(true);
    file.SaveToFile(fileName);
    const int before = OpenFileCount();
    EXPECT_EQ(ReadArchiveFile(fileName, "Hair_02.BMP")->Bytes(), testing::RandomBytes(3000));
    EXPECT_EQ(OpenFileCount(), before);
    EXPECT_THROW(ReadArchiveFile(fileName, "nothing"), EVRAError);
    EXPECT_EQ(OpenFileCount(), before);
    std::filesystem::remove(fileName);
    EXPECT_THROW(ReadArchiveFile(fileName, "body01"), EFOpenError);
}

}  // namespace
}  // namespace wbx
