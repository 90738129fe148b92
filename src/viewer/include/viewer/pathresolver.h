#pragma once
// TPathResolver finds files of a data folder that came from Windows, where
// names match case-insensitively: a path component that does not exist as
// spelled is looked up among its folder's entries by ASCII-case-insensitive
// comparison (among several such entries the one first in byte order wins, so
// the choice is stable).
//
// Each folder is read at most once: its listing is cached for the life of the
// resolver (the session's resolver lives as long as the process), so files
// added later under a different case are not seen, exactly as the part lists
// do not see them. A path whose spelling exists is answered by one stat call
// and never reads a folder.

#include <string>
#include <unordered_map>

namespace wbx {

class TPathResolver {
public:
    // The path as it exists on disk: components that do not exist as spelled
    // are replaced by their case-insensitive match. When some component has no
    // match, the rest of the path is returned as given (and so does not exist).
    // A trailing separator is kept.
    std::string Resolve(const std::string& path);

    // Forgets every cached folder listing.
    void Clear() { listings_.clear(); }
    // Number of folders read so far (for tests of the one-read rule).
    size_t FolderReads() const { return folderReads_; }

private:
    // lower-cased name -> name on disk, for one folder
    using TListing = std::unordered_map<std::string, std::string>;
    const TListing& Listing(const std::string& folder);
    std::string ResolveNoTrailing(const std::string& path);

    std::unordered_map<std::string, TListing> listings_;  // by folder path as resolved
    size_t folderReads_ = 0;
};

// The resolver the viewer uses for the whole session. Used directly (Clear,
// FolderReads) only while no other thread resolves.
TPathResolver& SessionPathResolver();

// SessionPathResolver().Resolve(path); callable from any thread.
std::string ResolvePath(const std::string& path);

}  // namespace wbx
