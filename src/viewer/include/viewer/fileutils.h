#pragma once
// File enumeration for the part lists.
//
// Lists the way the Windows viewer saw its folders: masks match the names
// case-insensitively (ASCII letters), only files are listed (never folders;
// hidden files are files), and the names come sorted by their upper-cased
// spelling, the order Windows' file system returns them in, so the lists and
// their first selections are the same as there.

#include <string>
#include <vector>

namespace wbx {

// A string list (the part lists' item texts).
using TStringList = std::vector<std::string>;

// Called once per file found with the bare file name (no folder) and the list
// being filled.
using TEnumerateCallback = void (*)(const std::string& fileName, TStringList& list);

// Calls callback (when not null) for every file in folder whose name matches
// mask, in the order above. folder + mask is the pattern, as on Windows: folder
// must end in a separator. Returns whether the list's count changed; false at
// once when the folder does not exist or nothing matches.
bool EnumerateFiles(const std::string& folder, const std::string& mask, TStringList& list,
                    TEnumerateCallback callback);

// EnumerateFiles for several masks of one folder, mask m filling lists[m]
// (lists grows to the masks' count), the folder read once for all of them.
// Returns whether any list grew.
bool EnumerateFilesForMasks(const std::string& folder, const std::vector<std::string>& masks,
                            std::vector<TStringList>& lists, TEnumerateCallback callback);

// Appends the first eight characters of fileName (all of it when shorter) to
// list: the item a layer file belongs to ("01_12345_07.pav" -> "01_12345").
// Characters, not bytes: a UTF-8 name is never cut inside a character (the
// data's names are ASCII, where the two agree).
void AddFilePrefix(const std::string& fileName, TStringList& list);

// Windows wildcard matching of one name: '*' matches any run of characters,
// '?' one character (or none at the end of the name or before a '.'), ".*"
// at the end also matches a name without an extension, and "*.*" matches
// every name. ASCII letters match either case. (Windows also matched 8.3
// short names; Linux has none.)
bool MatchesMask(const std::string& name, const std::string& mask);

// Orders names as Windows' file system lists them: by upper-cased spelling,
// then by spelling, so the order is total.
bool WindowsNameLess(const std::string& a, const std::string& b);

}  // namespace wbx
