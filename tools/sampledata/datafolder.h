#pragma once
// The generator of a complete sample data folder:
//
//   DIR/item/avatar/<category>_<identifier>_<layer>.pav   the items' layer files
//   DIR/character/models/tpv/type1 .. type10/base.pdt      the ten figure models
//
// plus the awkward entries a real folder has (see tools/README.md):
// a directory named like a layer file, a file whose identifier has six
// characters, an item missing one of its layer files, and an item whose file
// names are in upper case. Their identifiers begin with Z so that, sorted
// case-insensitively, every list starts with a regular, complete item.
//
// The same seed always gives the same bytes; existing files of the same
// names are replaced, other files in DIR are left alone.
//
// A large catalogue (ItemsPerList) tops every list up to that many items for
// tests and benchmarks of long lists: the regular designs come first, then
// the designs again in other colours, identifiers "2" and four digits of the
// item's place in its list ("02_20006" is the sixth upper). Without it the
// folder is byte for byte the regular one.

#include <cstdint>
#include <string>
#include <vector>

namespace wbx::sampledata {

inline constexpr uint64_t kDefaultSeed = 20240601;
// The most items a list can have: the extra identifiers have four digits.
inline constexpr int kMaxItemsPerList = 9999;

struct DataFolderOptions {
    uint64_t Seed = kDefaultSeed;
    int ItemsPerList =
        0;            // 0 (or fewer than a list's designs): the regular items only; at most kMaxItemsPerList
    int Threads = 0;  // threads making the extra items; 0: one per processor
};

struct GeneratedFile {
    std::string RelativePath;  // below DIR, with the platform's separator
    uint64_t Size;             // bytes
};

struct DataFolderReport {
    std::vector<GeneratedFile> Files;      // every file written, in writing order
    std::vector<std::string> Directories;  // the awkward directory (relative), created empty
    uint64_t TotalBytes = 0;
};

// The awkward entries, relative to the avatar folder.
struct AwkwardNames {
    static constexpr const char* MaskMatchingDirectory = "00_Zdir0_02.pav";
    static constexpr const char* SixCharacterFront = "02_Zlong6_01.pav";  // lists as "02_Zlong"
    static constexpr const char* SixCharacterBack = "02_Zlong6_02.pav";
    static constexpr const char* MissingBackPrefix = "03_Zmis1";  // has _01 but no _02
    static constexpr const char* UpperCasePrefix = "05_ZCAPS";    // files "05_ZCAPS_0n.PAV"
};

// Writes the folder. Raises wbx::EFCreateError (or another stream error) with
// the offending path when something cannot be written.
DataFolderReport GenerateDataFolder(const std::string& folder, uint64_t seed = kDefaultSeed);
// The same with a large catalogue; raises std::invalid_argument for an
// ItemsPerList above kMaxItemsPerList.
DataFolderReport GenerateDataFolder(const std::string& folder, const DataFolderOptions& options);

// "02_20006": the prefix of the extra item at place (1-based) in list listIndex.
std::string ExtraItemPrefix(int listIndex, int place);

}  // namespace wbx::sampledata
