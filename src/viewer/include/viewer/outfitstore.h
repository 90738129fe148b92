#pragma once
// Named outfits: one text file in the viewer's configuration folder
// ($XDG_CONFIG_HOME/wardrobix/outfits.txt), one outfit a line, its share code,
// one blank and its name:
//
//   # wardrobix outfits: a share code, a blank and the outfit's name a line
//   wbx1:type3,00_10030,01_11111,02_12030,03_10001,04_10001,,,,, Summer
//
// Blank lines and lines starting with '#' are kept as they are. So is a line
// that cannot be read (a damaged code, a missing or bad name, a name used
// above it): it is reported and written back unchanged, so nothing in the
// file is ever lost by the viewer. A file that cannot be read as a whole
// (unreadable, larger than kOutfitFileMaxBytes) is left alone: the store is
// then read only until it is fixed.
//
// Every change reads the file again first (another viewer may have written
// it), applies itself and replaces the file atomically (atomicfile.h).

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/outfit.h"

namespace wbx {

inline constexpr size_t kOutfitFileMaxBytes = size_t{4} << 20;
// The longest name, in bytes of UTF-8.
inline constexpr size_t kOutfitNameMaxBytes = 200;

struct TNamedOutfit {
    std::string Name;
    TOutfit Outfit;

    bool operator==(const TNamedOutfit&) const = default;
};

// The file's contents as lines: an outfit, or a line kept as it is.
struct TOutfitFileLine {
    std::optional<TNamedOutfit> Outfit;  // set: an outfit line
    std::string Text;                    // otherwise: the line as it was (no line break)
};

struct TOutfitFile {
    std::vector<TOutfitFileLine> Lines;
    std::vector<std::string> Problems;  // "line 3: ..." for each line kept unread
};

// Reads a file's text (any bytes; CR LF and LF line breaks). Never fails:
// what cannot be read is kept and described.
TOutfitFile ParseOutfitFile(std::string_view text);
// The text of the lines, each ending in LF (CR LF after a kept line that
// ends in CR, so that it reads back the same).
std::string FormatOutfitFile(const TOutfitFile& file);

// What is wrong with a name ("" when nothing is): it must not be empty or
// blank at either end, hold no control character, be valid UTF-8 and no longer
// than kOutfitNameMaxBytes.
std::string OutfitNameProblem(std::string_view name);

// A change that could not be made, with a message for the user; the file is
// as it was.
class EOutfitStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TOutfitStore {
public:
    // fileName: the outfits file (need not exist yet). Reads it.
    explicit TOutfitStore(std::string fileName);

    // Reads the file again. A missing file is an empty store.
    void Reload();

    const std::string& FileName() const { return fileName_; }
    // The outfits in the file's order.
    std::vector<TNamedOutfit> Outfits() const;
    std::optional<TOutfit> Find(std::string_view name) const;
    // What the last reading found wrong, one line each ("" lines never).
    const std::vector<std::string>& Problems() const { return file_.Problems; }
    // The file could not be read as a whole; changes are refused.
    bool ReadOnly() const { return readOnly_; }

    // Stores outfit under name: in the place of an outfit of that name, else
    // at the end. Throws EOutfitStoreError (a bad name, a read-only store, a
    // failed write).
    void Save(const std::string& name, const TOutfit& outfit);
    // Renames an outfit; throws when there is none of that name, the new name
    // is bad or taken, or the write fails.
    void Rename(const std::string& name, const std::string& newName);
    // Removes an outfit; throws when there is none of that name or the write fails.
    void Remove(const std::string& name);

private:
    // Reads the file again and refuses changes to a read-only store.
    void PrepareChange();
    void Write(const TOutfitFile& file);
    // The line of the outfit named name, or -1.
    std::ptrdiff_t LineOf(const TOutfitFile& file, std::string_view name) const;

    std::string fileName_;
    TOutfitFile file_;
    bool readOnly_ = false;
};

// The outfits file in the user's configuration folder.
std::string OutfitsFileName();

}  // namespace wbx
