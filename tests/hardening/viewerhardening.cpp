#include "viewerhardening.h"

#include <malloc.h>
#include <sys/stat.h>

#include <filesystem>

#ifdef WBX_SANITIZE
#include <sanitizer/allocator_interface.h>
#endif

namespace wbx::testing {

size_t HeapInUse() {
#ifdef WBX_SANITIZE
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

int OpenFileCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count - 1;  // the iterator's own descriptor
}

std::map<std::string, TEntryState> FolderListing(const std::string& folder) {
    std::map<std::string, TEntryState> listing;
    auto add = [&](const std::filesystem::path& path) {
        struct stat status {};
        TEntryState state;
        if (::lstat(path.c_str(), &status) == 0) {
            state.Type = S_ISREG(status.st_mode)   ? 'f'
                         : S_ISDIR(status.st_mode) ? 'd'
                         : S_ISLNK(status.st_mode) ? 'l'
                                                   : '?';
            state.Size = S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;
            state.Permissions = status.st_mode & 07777;
            state.ModifiedNs = int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec;
        }
        listing[std::filesystem::relative(path, folder).generic_string()] = state;
    };
    add(folder);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) add(entry.path());
    return listing;
}

void SetTreeWritable(const std::string& folder, bool writable) {
    using std::filesystem::perms;
    auto set = [&](const std::filesystem::path& path) {
        const bool isFolder = std::filesystem::is_directory(path);
        perms mode = perms::owner_read | perms::group_read | perms::others_read;
        if (isFolder) mode |= perms::owner_exec | perms::group_exec | perms::others_exec;
        if (writable) mode |= perms::owner_write;
        std::filesystem::permissions(path, mode);
    };
    // Folders are opened up before their contents are walked, closed after.
    if (writable) set(folder);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) set(entry.path());
    if (!writable) set(folder);
}

}  // namespace wbx::testing
