#pragma once
// A stream over a file on disk. Opening a file that cannot be opened raises
// EFOpenError naming the file; creating one that cannot be created raises
// EFCreateError. The handle is closed by the destructor.

#include <cstdint>
#include <string>

#include "base/stream.h"

namespace wbx {

class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// Open modes, combinable as on the original platform. Sharing flags are
// accepted for fidelity; POSIX files are always shared.
enum : uint32_t {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,  // create or truncate, then read and write
};

class TFileStream : public TStream {
public:
    TFileStream(const std::string& fileName, uint32_t mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override;
    void SetSize(int64_t newSize) override;

    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
    int fd_ = -1;
};

// True when a regular file (or a link to one) of that name exists.
bool FileExists(const std::string& fileName);
// True when a directory of that name exists.
bool DirectoryExists(const std::string& path);

}  // namespace wbx
