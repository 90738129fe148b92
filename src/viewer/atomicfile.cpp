#include "viewer/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/path.h"

namespace wbx {

namespace {

std::string Failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

std::string WriteFileAtomically(const std::string& fileName, std::string_view contents) {
    const std::string folder = ExtractFilePath(fileName);
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec))
        std::filesystem::create_directories(folder, ec);

    std::string tempName = fileName + ".XXXXXX";
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0) return Failure("create");
    struct stat st {};
    if (::stat(fileName.c_str(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0644 & ~mask);
    }
    const auto abandon = [&](const char* what) {
        const std::string error = Failure(what);
        ::unlink(tempName.c_str());
        return error;
    };
    size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string error = Failure("write");
            ::close(fd);
            ::unlink(tempName.c_str());
            return error;
        }
        done += static_cast<size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed) return abandon("write");
    if (::rename(tempName.c_str(), fileName.c_str()) != 0) return abandon("replace");
    // The rename itself is on disk once the folder is.
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return std::string();
}

}  // namespace wbx
