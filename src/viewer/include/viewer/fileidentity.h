#pragma once
// What tells one version of a file from another without reading it: its path,
// size, modification and status-change times to the nanosecond, and its inode
// and device. Writing a file in place changes its times; replacing it by a
// rename changes its inode (and its status-change time), so any change a user
// or a tool makes to a layer file gives another identity.

#include <cstdint>
#include <string>

namespace wbx {

struct TFileIdentity {
    std::string Path;
    bool Exists = false;  // false: nothing else is filled in
    uint64_t Size = 0;
    int64_t ModifiedNs = 0;  // mtime, nanoseconds since the epoch
    int64_t ChangedNs = 0;   // ctime, nanoseconds since the epoch
    uint64_t Inode = 0;
    uint64_t Device = 0;

    bool operator==(const TFileIdentity&) const = default;
};

// The identity of the regular file at path (following links); Exists false
// when there is none or it cannot be examined.
TFileIdentity FileIdentity(const std::string& path);

// One line of text holding every field, for keys.
std::string IdentityText(const TFileIdentity& identity);

}  // namespace wbx
