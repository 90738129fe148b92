#pragma once
// TIniFile: the viewer's settings file, read and written with the semantics of
// a Windows private-profile file, so a file edited by hand (or carried over from
// the Windows viewer) keeps working:
//
//   - "[section]" lines open a section; "key=value" lines inside it hold values.
//     Section and key names are trimmed and match ASCII-case-insensitively; the
//     first match wins.
//   - A value read is trimmed of blanks and, when it is enclosed in a matching
//     pair of double or single quotes, the quotes are removed. A value is
//     written exactly as given (no quoting, no escaping).
//   - Everything the viewer does not write (other sections and keys, comments,
//     blank lines, the line-ending style, a UTF-8 byte-order mark) is kept.
//   - A write goes to the file at once and replaces it atomically (a temporary
//     file in the same folder, then rename), so a crash leaves either the old
//     or the new file, never a truncated one. A missing file, section or key
//     is created; a missing folder of the file is created too.
//   - ReadInteger reads like GetPrivateProfileInt: blanks, an optional sign and
//     the leading decimal digits ("12px" is 12). A "0x" or "$" prefix reads
//     hexadecimal digits instead (GetPrivateProfileInt accepts "0x"; "$" is the
//     original toolkit's hexadecimal notation). No digits, or a number outside
//     the 32-bit signed range, gives the default.
//
// The file is read once, when the object is created; it is the session's view
// of the file from then on (the viewer opens it, reads or writes a few values
// and closes it again).

#include <cstdint>
#include <string>
#include <vector>

#include "base/exception.h"

namespace wbx {

// A settings file could not be written, or a name or value cannot be stored.
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

class TIniFile {
public:
    // Reads fileName when it exists. A missing file reads as empty, and so
    // does one that exists but cannot be read (the defaults, as the profile
    // functions give); writes to such a file fail, since replacing it would
    // lose contents never seen.
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) const;
    // Raise EIniFileException when the file cannot be replaced (also when it
    // is read-only: no write permission bits, or none for this user, as
    // Windows' read-only mark), or when the section, key or value holds a line
    // break (or the key a '=', the section a ']'), which the file could not
    // hold without changing its structure.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);

    // True when the section holds the key.
    bool ValueExists(const std::string& section, const std::string& key) const;

private:
    // Index of the line holding the key in the section, or -1.
    int64_t FindKey(const std::string& section, const std::string& key) const;
    void Save() const;

    std::string fileName_;
    std::vector<std::string> lines_;  // without their line ends
    std::string lineEnd_ = "\n";      // the file's own style ("\r\n" when its first line had it)
    bool byteOrderMark_ = false;
    bool finalLineEnd_ = true;  // whether the last line was terminated
    bool unreadable_ = false;   // the file exists but could not be read: never replaced
};

// GetPrivateProfileInt's reading of a value (see above); default when invalid.
int32_t ParseProfileInteger(const std::string& text, int32_t defaultValue);

}  // namespace wbx
