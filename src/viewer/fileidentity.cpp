#include "viewer/fileidentity.h"

#include <sys/stat.h>

namespace wbx {

TFileIdentity FileIdentity(const std::string& path) {
    TFileIdentity identity;
    identity.Path = path;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return identity;
    identity.Exists = true;
    identity.Size = static_cast<uint64_t>(info.st_size);
    identity.ModifiedNs = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.ChangedNs = static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    identity.Inode = static_cast<uint64_t>(info.st_ino);
    identity.Device = static_cast<uint64_t>(info.st_dev);
    return identity;
}

std::string IdentityText(const TFileIdentity& identity) {
    // The path's length comes before it, so no path can pass for another
    // identity's fields whatever characters it holds.
    if (!identity.Exists) return "absent " + std::to_string(identity.Path.size()) + " " + identity.Path;
    return std::to_string(identity.Size) + " " + std::to_string(identity.ModifiedNs) + " " +
           std::to_string(identity.ChangedNs) + " " + std::to_string(identity.Inode) + " " +
           std::to_string(identity.Device) + " " + std::to_string(identity.Path.size()) + " " + identity.Path;
}

}  // namespace wbx
