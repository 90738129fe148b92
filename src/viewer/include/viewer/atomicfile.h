#pragma once
// Files that appear whole or not at all: the bytes go to a temporary file in
// the same folder (".NAME.TAG.part-XXXXXX", hidden), which is renamed over NAME
// once complete. A failed write removes the temporary and leaves an existing
// NAME as it was. While the interrupt, termination and hang-up signals are
// handled (InstallTemporaryFileCleanup), a signal removes the temporaries in
// flight before the process ends; a process killed outright leaves its
// temporaries behind, which RemoveStaleTemporaries clears on the next run.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/exception.h"

namespace wbx {

// The step of a write that failed.
enum class TWriteStep : uint8_t {
    Create,  // making the temporary
    Write,   // writing, flushing or closing it
    Rename,  // renaming it to the file's name
};

class EWriteFailure : public Exception {
public:
    EWriteFailure(std::string message, int errorNumber, TWriteStep step = TWriteStep::Write)
        : Exception(std::move(message)), step_(step), errorNumber_(errorNumber) {}
    TWriteStep Step() const { return step_; }
    int ErrorNumber() const { return errorNumber_; }
    // The file system is out of space or quota: no later write will succeed either.
    bool OutOfSpace() const;

private:
    TWriteStep step_;
    int errorNumber_;
};

// The permissions a written file gets.
enum class TFileMode : uint8_t {
    Shared,  // 0666 less the umask (pictures, catalogues)
    Kept,    // those of the file it replaces; a new file 0644 less the umask (settings)
};

// One file being written. tag tells this process's temporaries from those of
// others writing into the same folder (letters, digits, '-'; may be empty).
// Every failure raises EWriteFailure naming the file and the reason, and
// removes the temporary.
class TAtomicFile {
public:
    TAtomicFile(std::string fileName, const std::string& tag = "", TFileMode mode = TFileMode::Shared);
    // Removes the temporary unless Commit succeeded.
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    void Write(const void* data, size_t size);
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    // Renames the temporary to the file's name. sync: the data reaches the
    // disk first (fsync), for files that must survive a power cut too.
    void Commit(bool sync = false);

private:
    EWriteFailure Abandon(TWriteStep step, int error);

    std::string fileName_;
    std::string temporary_;
    int fd_ = -1;
    int slot_ = -1;  // its place among the temporaries a signal removes
};

// The whole of bytes as fileName, through a TAtomicFile.
void WriteFileAtomically(const std::string& fileName, std::span<const uint8_t> bytes,
                         const std::string& tag = "", bool sync = false);

// From now on, SIGINT, SIGTERM and SIGHUP first remove the temporaries being
// written, then end the process as the signal would have.
void InstallTemporaryFileCleanup();

// Removes the temporaries left in folder and its subfolders by writers with
// this tag; returns how many. Temporaries of other tags are left alone; an
// empty tag removes every temporary.
int RemoveStaleTemporaries(const std::string& folder, const std::string& tag);

// Replaces fileName with contents for files that must also survive a crash
// (settings, saved outfits), through a TAtomicFile without a tag: the data and
// then the folder reach the disk, the file keeps its permissions
// (TFileMode::Kept) and missing folders on the way are made. Returns "" when
// done; otherwise what failed and why ("create: Permission denied"; the steps
// are create, write and replace), and the file is as it was (no temporary
// left behind).
std::string ReplaceFileContents(const std::string& fileName, std::string_view contents);

}  // namespace wbx
