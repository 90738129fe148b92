#include "viewer/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/format.h"
#include "base/path.h"

namespace wbx {

namespace {

constexpr const char* kPartMarker = ".part-";

// The temporaries being written, for the signal handler: fixed slots, each
// claimed by one writer while its name is valid (no allocation or locking
// inside the handler).
constexpr size_t kSlots = 256;
constexpr size_t kNameMax = 4096;
struct TSlot {
    std::atomic<int> State{0};  // 0 free, 1 being filled or emptied, 2 holds a name
    char Name[kNameMax];
};
std::array<TSlot, kSlots> slots;

int ClaimSlot(const std::string& name) {
    if (name.size() >= kNameMax) return -1;
    for (size_t i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (!slots[i].State.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(slots[i].Name, name.c_str(), name.size() + 1);
        slots[i].State.store(2);
        return static_cast<int>(i);
    }
    return -1;  // more writers than slots: that temporary is not cleaned on a signal
}

void ReleaseSlot(int slot) {
    if (slot < 0) return;
    slots[static_cast<size_t>(slot)].State.store(0);
}

extern "C" void RemoveTemporariesAndDie(int signal) {
    for (TSlot& slot : slots)
        if (slot.State.load() == 2) ::unlink(slot.Name);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

std::string TemporaryPrefix(const std::string& fileName, const std::string& tag) {
    std::string prefix = ExtractFilePath(fileName) + "." + ExtractFileName(fileName) + ".";
    if (!tag.empty()) prefix += tag + ".";
    return prefix + (kPartMarker + 1);  // "part-": the dot is already there
}

// The process's umask. Linux tells it without changing it: reading it with
// umask() sets it for a moment, and threads writing files at once could
// leave it at 0 for good.
mode_t ReadProcessUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr)
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return static_cast<mode_t>(mask & 0777);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The program never changes its umask: it is read once, by the first file
// written, not for every file.
mode_t ProcessUmask() {
    static const mode_t mask = ReadProcessUmask();
    return mask;
}

// What a failed step is called in messages.
const char* StepName(TWriteStep step) {
    switch (step) {
        case TWriteStep::Create:
            return "create";
        case TWriteStep::Write:
            return "write";
        case TWriteStep::Rename:
            return "rename";
    }
    return "write";
}

}  // namespace

bool EWriteFailure::OutOfSpace() const { return errorNumber_ == ENOSPC || errorNumber_ == EDQUOT; }

TAtomicFile::TAtomicFile(std::string fileName, const std::string& tag, TFileMode mode)
    : fileName_(std::move(fileName)) {
    temporary_ = TemporaryPrefix(fileName_, tag) + "XXXXXX";
    fd_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        throw EWriteFailure(Format("Cannot write \"%s\" (create: %s).", fileName_, std::strerror(error)),
                            error, TWriteStep::Create);
    }
    slot_ = ClaimSlot(temporary_);
    // mkstemp makes the file private; what is written is for everyone to read,
    // or for whom the file it replaces was.
    struct stat replaced {};
    if (mode == TFileMode::Kept && ::stat(fileName_.c_str(), &replaced) == 0)
        ::fchmod(fd_, replaced.st_mode & 07777);
    else
        ::fchmod(fd_, (mode == TFileMode::Kept ? 0644 : 0666) & ~ProcessUmask());
}

TAtomicFile::~TAtomicFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    ReleaseSlot(slot_);
}

EWriteFailure TAtomicFile::Abandon(TWriteStep step, int error) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ::unlink(temporary_.c_str());
    temporary_.clear();
    ReleaseSlot(slot_);
    slot_ = -1;
    return EWriteFailure(
        Format("Cannot write \"%s\" (%s: %s).", fileName_, StepName(step), std::strerror(error)), error,
        step);
}

void TAtomicFile::Write(const void* data, size_t size) {
    if (fd_ < 0) throw EWriteFailure(Format("Cannot write \"%s\" (already given up).", fileName_), EBADF);
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw Abandon(TWriteStep::Write, n < 0 ? errno : ENOSPC);
        done += static_cast<size_t>(n);
    }
}

void TAtomicFile::Commit(bool sync) {
    if (fd_ < 0) throw EWriteFailure(Format("Cannot write \"%s\" (already given up).", fileName_), EBADF);
    if (sync && ::fsync(fd_) != 0) throw Abandon(TWriteStep::Write, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw Abandon(TWriteStep::Write, errno);
    if (::rename(temporary_.c_str(), fileName_.c_str()) != 0) throw Abandon(TWriteStep::Rename, errno);
    temporary_.clear();
    ReleaseSlot(slot_);
    slot_ = -1;
}

void WriteFileAtomically(const std::string& fileName, std::span<const uint8_t> bytes, const std::string& tag,
                         bool sync) {
    TAtomicFile file(fileName, tag);
    file.Write(bytes.data(), bytes.size());
    file.Commit(sync);
}

void InstallTemporaryFileCleanup() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndDie;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

int RemoveStaleTemporaries(const std::string& folder, const std::string& tag) {
    const std::string marker = "." + (tag.empty() ? std::string() : tag + ".") + (kPartMarker + 1);
    int removed = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string name = it->path().filename().string();
        // ".NAME.TAG.part-XXXXXX": hidden, the marker, then six characters.
        const size_t at = name.rfind(marker);
        if (name.empty() || name[0] != '.' || at == std::string::npos || at == 0 ||
            at + marker.size() + 6 != name.size())
            continue;
        std::error_code removeError;
        if (std::filesystem::remove(it->path(), removeError)) ++removed;
    }
    return removed;
}

std::string ReplaceFileContents(const std::string& fileName, std::string_view contents) {
    const std::string folder = ExtractFilePath(fileName);
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec))
        std::filesystem::create_directories(folder, ec);
    try {
        TAtomicFile file(fileName, "", TFileMode::Kept);
        file.Write(contents);
        file.Commit(true);
    } catch (const EWriteFailure& failure) {
        // The callers' messages say "replace" for the rename.
        const char* step = failure.Step() == TWriteStep::Rename ? "replace" : StepName(failure.Step());
        return std::string(step) + ": " + std::strerror(failure.ErrorNumber());
    }
    // The rename itself is on disk once the folder is.
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return std::string();
}

}  // namespace wbx
