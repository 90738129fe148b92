// Fuzz target for the settings-file reader: the bytes as the viewer's ".ini"
// file, read the way start-up reads it (section "app", keys "path", "left",
// "top"), then written the way shut-down writes it, and read back.
// Checks: reading never fails on an existing, readable file; a written value
// reads back as written; a key the viewer did not write keeps its value; an
// integer read is what ParseProfileInteger makes of the string read. A crash,
// a sanitizer report or any exception but EIniFileException from a write is
// a finding.

#include <cstddef>
#include <cstdint>
#include <string>

#include "scratchfile.h"
#include "viewer/inifile.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static wbx::testing::ScratchFile file(".ini");
    file.Write(data, size);

    wbx::TIniFile settings(file.Name());
    const std::string path = settings.ReadString("app", "path", "");
    const std::string other = settings.ReadString("other", "key", "<none>");
    const int32_t left = settings.ReadInteger("app", "left", -7);
    Check(left == wbx::ParseProfileInteger(settings.ReadString("app", "left", ""), -7));
    Check(settings.ValueExists("app", "path") || path.empty());

    try {
        settings.WriteString("app", "path", "/data/folder one");
        settings.WriteInteger("app", "left", 120);
        settings.WriteInteger("app", "top", -40);
    } catch (const wbx::EIniFileException&) {
        return 0;  // the scratch folder went away; nothing to compare
    }
    const wbx::TIniFile reread(file.Name());
    Check(reread.ReadString("app", "path", "") == "/data/folder one");
    Check(reread.ReadInteger("app", "left", 0) == 120);
    Check(reread.ReadInteger("app", "top", 0) == -40);
    Check(reread.ReadString("other", "key", "<none>") == other);
    return 0;
}
