#include "viewer/inifile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "asciicase.h"
#include "base/format.h"
#include "base/path.h"
#include "viewer/atomicfile.h"

namespace wbx {

namespace {

constexpr const char* kBlanks = " \t";

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// The name of a "[name]" line, or false when the line opens no section.
bool SectionName(const std::string& line, std::string& name) {
    const std::string trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[') return false;
    const size_t close = trimmed.find(']');
    if (close == std::string::npos) return false;
    name = Trim(trimmed.substr(1, close - 1));
    return true;
}

// Splits a "key=value" line; false when there is no '='.
bool SplitKeyLine(const std::string& line, std::string& key, std::string& value) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    key = Trim(line.substr(0, equals));
    value = Trim(line.substr(equals + 1));
    return true;
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// How reading a whole file went.
enum class TReadOutcome { Read, Missing, Unreadable };

TReadOutcome ReadWholeFile(const std::string& fileName, std::string& text) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? TReadOutcome::Missing : TReadOutcome::Unreadable;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            text.clear();
            return TReadOutcome::Unreadable;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return TReadOutcome::Read;
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {
    std::string text;
    switch (ReadWholeFile(fileName_, text)) {
        case TReadOutcome::Missing:
            return;  // reads as empty
        case TReadOutcome::Unreadable:
            unreadable_ = true;  // reads as empty too, but is never replaced
            return;
        case TReadOutcome::Read:
            break;
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        byteOrderMark_ = true;
        text.erase(0, 3);
    }
    if (text.empty()) return;
    finalLineEnd_ = text.back() == '\n';
    size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (first) lineEnd_ = "\r\n";
        }
        first = false;
        lines_.push_back(std::move(line));
        start = end + 1;
    }
}

int64_t TIniFile::FindKey(const std::string& section, const std::string& key) const {
    bool inSection = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string name;
        if (SectionName(lines_[i], name)) {
            // Only the first section of the name counts, as for the profile functions.
            if (inSection) return -1;
            inSection = SameTextAscii(name, Trim(section));
            continue;
        }
        std::string lineKey, value;
        if (inSection && SplitKeyLine(lines_[i], lineKey, value) && SameTextAscii(lineKey, Trim(key)))
            return static_cast<int64_t>(i);
    }
    return -1;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return FindKey(section, key) >= 0;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    const int64_t at = FindKey(section, key);
    if (at < 0) return defaultValue;
    std::string lineKey, value;
    SplitKeyLine(lines_[static_cast<size_t>(at)], lineKey, value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

int32_t ParseProfileInteger(const std::string& text, int32_t defaultValue) {
    size_t i = text.find_first_not_of(kBlanks);
    if (i == std::string::npos) return defaultValue;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
               std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
        base = 16;
        i += 2;
    }
    // Accumulate in 64 bits; anything beyond the 32-bit range is invalid.
    const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
    int64_t magnitude = 0;
    size_t digits = 0;
    for (; i < text.size(); ++i, ++digits) {
        const char c = AsciiLower(text[i]);
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            break;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > limit) return defaultValue;
    }
    if (digits == 0) return defaultValue;
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                              int32_t defaultValue) const {
    if (FindKey(section, key) < 0) return defaultValue;
    return ParseProfileInteger(ReadString(section, key, std::string()), defaultValue);
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
        section.find(']') != std::string::npos || key.find('=') != std::string::npos || Trim(key).empty())
        throw EIniFileException(
            Format("The value \"%s\" of [%s] cannot be stored in the settings file \"%s\".", key, section,
                   fileName_));
    std::vector<std::string> saved = lines_;
    const int64_t at = FindKey(section, key);
    if (at >= 0) {
        // Keep the key as the file spells it; only the value changes.
        std::string lineKey, oldValue;
        SplitKeyLine(lines_[static_cast<size_t>(at)], lineKey, oldValue);
        lines_[static_cast<size_t>(at)] = lineKey + "=" + value;
    } else {
        // Find the section; a new key goes after its last non-blank line.
        int64_t sectionLine = -1;
        for (size_t i = 0; i < lines_.size() && sectionLine < 0; ++i) {
            std::string name;
            if (SectionName(lines_[i], name) && SameTextAscii(name, Trim(section)))
                sectionLine = static_cast<int64_t>(i);
        }
        if (sectionLine < 0) {
            if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
            lines_.push_back("[" + section + "]");
            lines_.push_back(key + "=" + value);
        } else {
            size_t insertAt = static_cast<size_t>(sectionLine) + 1;
            for (size_t i = insertAt; i < lines_.size(); ++i) {
                std::string name;
                if (SectionName(lines_[i], name)) break;
                if (!Trim(lines_[i]).empty()) insertAt = i + 1;
            }
            lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), key + "=" + value);
        }
    }
    try {
        Save();
    } catch (...) {
        lines_ = std::move(saved);  // the object keeps describing what is on disk
        throw;
    }
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::Save() const {
    std::string text;
    if (byteOrderMark_) text += "\xEF\xBB\xBF";
    for (size_t i = 0; i < lines_.size(); ++i) {
        text += lines_[i];
        // A line that still ends in a carriage return (it ended in CR CR LF)
        // gets CR LF, whatever the file's style: reading strips one CR before
        // the line break, so the line reads back as it was.
        if (!lines_[i].empty() && lines_[i].back() == '\r')
            text += "\r\n";
        else if (i + 1 < lines_.size() || finalLineEnd_)
            text += lineEnd_;
    }

    // A file whose contents were never read, or that is read-only, is left
    // as it is: replacing it would lose what it holds, or override the
    // read-only mark that Windows' profile functions respect.
    if (unreadable_)
        throw EIniFileException(
            Format("Cannot write the settings file \"%s\" (it cannot be read).", fileName_));
    struct stat current {};
    if (::stat(fileName_.c_str(), &current) == 0 &&
        ((current.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(fileName_.c_str(), W_OK) != 0))
        throw EIniFileException(
            Format("Cannot write the settings file \"%s\" (it is read-only).", fileName_));

    const std::string error = ReplaceFileContents(fileName_, text);
    if (!error.empty())
        throw EIniFileException(Format("Cannot write the settings file \"%s\" (%s).", fileName_, error));
}

}  // namespace wbx
