// The catalogue's gallery page in a real browser (headless Chromium, when
// the machine has it): it loads without a console error, shows one
// thumbnail per item, and a search narrows the grid.
#include "viewer/gallery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "exportfixture.h"
#include "viewer/catalogue.h"
#include "viewer/slotnames.h"

namespace wbx {
namespace {

std::string ReadAll(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int Count(const std::string& text, const std::regex& pattern) {
    return static_cast<int>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), pattern), std::sregex_iterator()));
}

class Gallery : public testing::ExportTest {
protected:
    void SetUp() override {
        ExportTest::SetUp();
        settings.Slots = {plUpper, plShoes};
        settings.Base = StartSelection();
        settings.Width = 48;
        settings.Height = 36;
        settings.ThumbnailWidth = settings.ThumbnailHeight = 16;
        TCatalogueRun run;
        run.Folder = dir / "out";
        std::filesystem::create_directories(run.Folder);
        ASSERT_EQ(RunCatalogue(settings, run).Status, TCatalogueStatus::Done);
    }
    // The page's DOM after its script ran, and what the console said.
    bool Open(const std::string& fragment, std::string& dom, std::string& console) {
        if (std::system("command -v chromium > /dev/null 2>&1") != 0) return false;
        const std::string command =
            "timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run "
            "--user-data-dir='" +
            dir / "profile" + "' --enable-logging=stderr --v=0 --dump-dom 'file://" + dir / "out/index.html" +
            fragment + "' > '" + dir / "dom.html" + "' 2> '" + dir / "console.txt" + "'";
        const int status = std::system(command.c_str());
        dom = ReadAll(dir / "dom.html");
        console = ReadAll(dir / "console.txt");
        EXPECT_EQ(status, 0) << console;
        return true;
    }
    TCatalogueSettings settings;
};

TEST_F(Gallery, SelfContainedPageShowsEveryItemAndSearchNarrowsIt) {
    const std::string page = ReadAll(dir / "out/index.html");
    const std::vector<TCatalogueItem> items = CatalogueItems(settings.Slots);
    EXPECT_EQ(Count(page, std::regex("<img[^>]*-thumbnail\\.png")), static_cast<int>(items.size()));
    // Nothing from the network: no address with a scheme or a protocol-relative one.
    EXPECT_EQ(Count(page, std::regex("(src|href)=\"(https?:)?//")), 0);
    EXPECT_EQ(Count(page, std::regex("@import|url\\(")), 0);

    std::string dom, console;
    if (!Open("", dom, console))
        GTEST_SKIP() << "chromium is not installed: the page was not opened in a browser";
    EXPECT_EQ(Count(console, std::regex("CONSOLE")), 0) << console;
    const std::regex shown("<figure class=\"item\"(?![^>]*hidden)");
    EXPECT_EQ(Count(dom, shown), static_cast<int>(items.size()));
    EXPECT_NE(dom.find(std::to_string(items.size()) + " of " + std::to_string(items.size()) + " items"),
              std::string::npos);

    // Searched for one shoe's ID: only that item stays, its slot's heading with it.
    const std::string wanted = CatalogueItems({plShoes})[1].Item;
    ASSERT_TRUE(Open("#q=" + wanted.substr(3), dom, console));
    EXPECT_EQ(Count(console, std::regex("CONSOLE")), 0) << console;
    EXPECT_EQ(Count(dom, shown), 1);
    EXPECT_NE(dom.find("data-id=\"" + wanted + "\""), std::string::npos);
    EXPECT_NE(dom.find("1 of " + std::to_string(items.size()) + " items"), std::string::npos);
    EXPECT_EQ(Count(dom, std::regex("<section class=\"slot\"(?![^>]*hidden)")), 1);
}

TEST(GalleryText, EscapesWhatWouldBreakThePage) {
    EXPECT_EQ(HtmlEscape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
    EXPECT_EQ(UrlPath("upper/02_a#b%c?d e\xE3\x81\xAA-front.png"),
              "upper/02_a%23b%25c%3Fd%20e%E3%81%AA-front.png");
}

}  // namespace
}  // namespace wbx
