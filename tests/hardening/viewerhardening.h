#pragma once
// Support of the viewer's long-running hardening tests: the sizes of a run
// (smaller in sanitizer builds, whose frames cost ten to forty times more),
// the process's heap in use and its open files, and a full listing of a folder.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace wbx::testing {

#ifdef WBX_SANITIZE
inline constexpr int kLossCycles = 100;
inline constexpr int kSoakFrames = 2000;
#else
inline constexpr int kLossCycles = 1000;
inline constexpr int kSoakFrames = 20000;
#endif
// A soak picks an item every 10 frames and a model every 100: 2,000
// selections and 200 model switches in the full run.
inline constexpr int kFramesPerSelection = 10;
inline constexpr int kFramesPerModelSwitch = 100;

// Bytes of heap the process has in use now: the sanitizer allocator's count
// in sanitizer builds (every thread); otherwise glibc's main arena, which
// holds the GUI thread's allocations (the rasteriser's helper thread may
// allocate from an arena of its own).
size_t HeapInUse();
// Open file descriptors of the process.
int OpenFileCount();

// Every entry below folder (relative path -> type, size, permissions and
// modification time in nanoseconds), the folder itself included as "".
struct TEntryState {
    char Type = '?';  // 'f' file, 'd' folder, 'l' link, '?' other
    uint64_t Size = 0;
    uint32_t Permissions = 0;
    int64_t ModifiedNs = 0;
    bool operator==(const TEntryState&) const = default;
};
std::map<std::string, TEntryState> FolderListing(const std::string& folder);

// Makes every file read-only and every folder read-and-enter-only (or gives
// the owner write permission back with writable).
void SetTreeWritable(const std::string& folder, bool writable);

}  // namespace wbx::testing
