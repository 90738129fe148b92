// The settings file keeps every line the viewer does not write as it reads
// it, also through the viewer's writes (found by the settings fuzz target).

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "hardeningfixture.h"
#include "samples.h"
#include "viewer/inifile.h"

namespace wbx::testing {
namespace {

std::string ReadText(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SettingsFile, LinesEndingInACarriageReturnReadTheSameAfterAWrite) {
    TempFolder folder;
    const std::string name = folder.File("wardrobix.ini");
    // A line ending in CR CR LF keeps one CR in its value; a write used to end
    // it with the file's LF, and the CR was gone at the next reading. The
    // last case is the fuzz target's finding.
    for (const std::string& text :
         {std::string("[app]\nleft=1\n[other]\nkey=\"qu\r\r\nnext=2\n"),
          std::string("[app]\r\nleft=1\r\n[other]\r\nkey=v\r\r\n"), std::string("[other]\nkey=last\r\r"),
          std::string("\xEF\xBB\xBF[ APP ]\nleft= 'd\n\r\r\n\r[[\n[other]\r\nkey=\"qu\r\r\n"
                      "\r[[\n[other]\r\nkey=\"qu")}) {
        WriteBytes(name, Bytes(text.begin(), text.end()));
        TIniFile settings(name);
        const std::string key = settings.ReadString("other", "key", "<none>");
        const std::string next = settings.ReadString("other", "next", "<none>");
        settings.WriteString("app", "path", "/data/folder one");
        settings.WriteInteger("app", "left", 120);
        const TIniFile reread(name);
        EXPECT_EQ(reread.ReadString("other", "key", "<none>"), key) << text;
        EXPECT_EQ(reread.ReadString("other", "next", "<none>"), next) << text;
        EXPECT_EQ(reread.ReadString("app", "path", ""), "/data/folder one") << text;
        EXPECT_EQ(reread.ReadInteger("app", "left", 0), 120) << text;
    }
    // An LF file stays an LF file.
    WriteBytes(name, Bytes{'[', 'a', 'p', 'p', ']', '\n', 'x', '=', '1', '\n'});
    TIniFile(name).WriteInteger("app", "left", 3);
    EXPECT_EQ(ReadText(name), "[app]\nx=1\nleft=3\n");
}

}  // namespace
}  // namespace wbx::testing
