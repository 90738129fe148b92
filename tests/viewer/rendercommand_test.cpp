// wardrobix render and catalogue as a user runs them: the files asked for,
// and the exit status and message of each kind of bad input.
#include "viewer/rendercommand.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "exportfixture.h"
#include "viewer/cataloguecommand.h"
#include "viewer/composition.h"
#include "viewer/outfitstore.h"
#include "viewer/pngsummary.h"
#include "viewer/sharecode.h"
#include "viewer/slotnames.h"

namespace wbx {
namespace {

class Commands : public testing::ExportTest {
protected:
    int Render(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"render", "--data", data});
        const TCommandLine commandLine = ParseCommandLine(arguments);
        EXPECT_TRUE(commandLine.Error.empty()) << commandLine.Error;
        errors.clear();
        return RunRenderCommand(commandLine, [this](const std::string& line) { errors += line + "\n"; });
    }
    int Catalogue(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"catalogue", "--data", data});
        const TCommandLine commandLine = ParseCommandLine(arguments);
        EXPECT_TRUE(commandLine.Error.empty()) << commandLine.Error;
        errors.clear();
        TCatalogueConsole console;
        console.Line = [this](const std::string& line) { errors += line + "\n"; };
        return RunCatalogueCommand(commandLine, console);
    }
    std::optional<TPngInfo> Png(const std::string& fileName) {
        std::ifstream in(fileName, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        return SummarizePng(bytes);
    }
    std::string errors;
};

TEST_F(Commands, RenderWritesEveryFileAskedFor) {
    const std::string upper = SlotItems(plUpper)[1];
    ASSERT_EQ(Render({"--set", "upper=" + upper, "-o", dir / "a.png", "--transparent", "--supersample", "2",
                      "--size", "100x80", "--textures", dir / "tex", "--glb", dir / "f.glb", "--obj",
                      dir / "m/f.obj"}),
              kExitUsage)
        << "the folder m does not exist yet";
    EXPECT_NE(errors.find("/m"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(dir / "a.png"));

    std::filesystem::create_directory(dir / "m");
    ASSERT_EQ(Render({"--set", "upper=" + upper, "-o", dir / "a.png", "--transparent", "--supersample", "2",
                      "--size", "100x80", "--textures", dir / "tex", "--glb", dir / "f.glb", "--obj",
                      dir / "m/f.obj"}),
              kExitOk)
        << errors;
    const std::optional<TPngInfo> picture = Png(dir / "a.png");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->Width, 100);
    EXPECT_TRUE(picture->HasAlpha);
    for (const char* file : {"tex_front.png", "tex_back.png", "m/f_front.png", "m/f_back.png"})
        EXPECT_TRUE(Png(dir / file)) << file;
    EXPECT_GT(std::filesystem::file_size(dir / "f.glb"), 1000u);
    EXPECT_GT(std::filesystem::file_size(dir / "m/f.obj"), 1000u);
    EXPECT_TRUE(std::filesystem::exists(dir / "m/f.mtl"));

    ASSERT_EQ(Render({"-o", dir / "t.gif", "--turntable", "4", "--size", "40x30"}), kExitOk) << errors;
    ASSERT_EQ(Render({"-o", dir / "t.webp", "--turntable", "4", "--size", "40x30"}), kExitOk) << errors;
    std::ifstream gif(dir / "t.gif", std::ios::binary);
    std::string magic(6, '\0');
    gif.read(magic.data(), 6);
    EXPECT_EQ(magic, "GIF89a");
}

TEST_F(Commands, RenderRefusesBadInputBeforeDrawing) {
    EXPECT_EQ(Render({"--set", "upper=02_12011", "-o", dir / "a.png"}), kExitUsage);
    EXPECT_NE(errors.find("unknown upper item \"02_12011\" (closest: 02_12010"), std::string::npos) << errors;
    EXPECT_EQ(Render({"-o", dir / "a.gif"}), kExitUsage);
    EXPECT_EQ(Render({"-o", dir / "a.png", "--turntable", "3"}), kExitUsage);
    EXPECT_EQ(Render({"-o", dir.Path()}), kExitUsage);
    EXPECT_FALSE(std::filesystem::exists(dir / "a.png"));

    std::filesystem::remove(ModelFileName("type2"));
    EXPECT_EQ(Render({"--body", "type2", "-o", dir / "a.png"}), kExitMissingModel);
    EXPECT_NE(errors.find("type2"), std::string::npos) << errors;

    std::ofstream(LayerFileName(StartSelection()[plShoes], 1), std::ios::trunc) << "damaged";
    EXPECT_EQ(Render({"-o", dir / "a.png"}), kExitStartupError);
    EXPECT_FALSE(errors.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "a.png"));

    const TCommandLine nowhere = ParseCommandLine({"render", "--data", dir / "nowhere", "-o", dir / "a.png"});
    EXPECT_EQ(RunRenderCommand(nowhere, [](const std::string&) {}), kExitUsage);
}

TEST_F(Commands, CatalogueExitStatuses) {
    EXPECT_EQ(
        Catalogue({"-o", dir / "c", "--slots", "shoes", "--size", "32x24", "--thumbnail", "16", "-j", "2"}),
        kExitOk)
        << errors;
    EXPECT_NE(errors.find("pictures made"), std::string::npos) << errors;
    EXPECT_TRUE(std::filesystem::exists(dir / "c/index.html"));

    // An output folder that cannot be written: refused before any work.
    std::filesystem::create_directory(dir / "ro");
    ::chmod((dir / "ro").c_str(), 0555);
    if (::access((dir / "ro").c_str(), W_OK) != 0) {
        EXPECT_EQ(Catalogue({"-o", dir / "ro", "--slots", "shoes"}), kExitUsage);
        EXPECT_FALSE(std::filesystem::exists(dir / "ro/shoes"));
    }
    EXPECT_EQ(Catalogue({"-o", dir / "c", "--set", "hair=nope"}), kExitUsage);

    // The run itself cannot go on (a file where a slot's folder goes): failed work, said why.
    std::filesystem::create_directory(dir / "f");
    std::ofstream(dir / "f/shoes") << "in the way";
    EXPECT_EQ(Catalogue({"-o", dir / "f", "--slots", "shoes", "--size", "32x24", "--thumbnail", "16"}),
              kExitStartupError);
    EXPECT_NE(errors.find("f/shoes"), std::string::npos) << errors;

    std::ofstream(LayerFileName(SlotItems(plShoes)[0], 1), std::ios::trunc) << "damaged";
    EXPECT_EQ(Catalogue({"-o", dir / "d", "--slots", "shoes", "--size", "32x24", "--thumbnail", "16"}),
              kExitStartupError);
    EXPECT_NE(errors.find(SlotItems(plShoes)[0]), std::string::npos) << errors;

    std::filesystem::remove(ModelFileName("type4"));
    EXPECT_EQ(Catalogue({"-o", dir / "e", "--body", "type4"}), kExitMissingModel);
}

TEST_F(Commands, ShareCodeDressesAsTheSetsDo) {
    TOutfit outfit;
    outfit.BodyType = "type2";
    const TPartSelection start = StartSelection();
    std::copy(start.begin(), start.end(), outfit.Items.begin());
    outfit.Items[plUpper] = SlotItems(plUpper)[1];
    outfit.Items[plShoes].clear();
    ASSERT_EQ(Render({"--outfit", EncodeShareCode(outfit), "-o", dir / "code.png"}), kExitOk) << errors;
    ASSERT_EQ(Render({"--body", "type2", "--set", "upper=" + SlotItems(plUpper)[1], "--set", "shoes=none",
                      "-o", dir / "sets.png"}),
              kExitOk)
        << errors;
    EXPECT_EQ(testing::ReadText(dir / "code.png"), testing::ReadText(dir / "sets.png"));
    EXPECT_NE(testing::ReadText(dir / "code.png").size(), 0u);

    // --set after the code wins; an item the folder lacks is named.
    outfit.Items[plHair] = "00_19999";
    EXPECT_EQ(Render({"--outfit", EncodeShareCode(outfit), "-o", dir / "x.png"}), kExitUsage);
    EXPECT_NE(errors.find("unknown hair item \"00_19999\""), std::string::npos) << errors;
    EXPECT_EQ(Render({"--outfit", EncodeShareCode(outfit), "--set", "hair=none", "-o", dir / "x.png"}),
              kExitOk)
        << errors;
    // A damaged code is named as one.
    EXPECT_EQ(Render({"--outfit", "wbx1:type1", "-o", dir / "y.png"}), kExitUsage);
    EXPECT_NE(errors.find("--outfit: "), std::string::npos) << errors;
    EXPECT_NE(errors.find("parts after wbx1:"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(dir / "y.png"));
}

// Sets XDG_CONFIG_HOME for one test, and puts back what was there.
class ConfigHome {
public:
    explicit ConfigHome(const std::string& folder) {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    ~ConfigHome() {
        if (old_)
            ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }

private:
    std::optional<std::string> old_;
};

TEST_F(Commands, OutfitBySavedName) {
    const ConfigHome home(dir / "config");
    TOutfit summer;
    summer.BodyType = "type2";
    const TPartSelection start = StartSelection();
    std::copy(start.begin(), start.end(), summer.Items.begin());
    summer.Items[plUpper] = SlotItems(plUpper)[1];
    TOutfit winter = summer;
    winter.Items[plShoes].clear();
    TOutfitStore store(OutfitsFileName());
    store.Save("Summer", summer);
    store.Save("Winter coat", winter);
    // A name that reads as a share code is still the code: codes come first.
    store.Save(EncodeShareCode(winter), summer);

    ASSERT_EQ(Render({"--outfit", "Summer", "-o", dir / "name.png"}), kExitOk) << errors;
    ASSERT_EQ(Render({"--outfit", EncodeShareCode(summer), "-o", dir / "code.png"}), kExitOk) << errors;
    EXPECT_EQ(testing::ReadText(dir / "name.png"), testing::ReadText(dir / "code.png"));
    ASSERT_EQ(Render({"--outfit", EncodeShareCode(winter), "-o", dir / "winter.png"}), kExitOk) << errors;
    EXPECT_NE(testing::ReadText(dir / "winter.png"), testing::ReadText(dir / "code.png"));
    ASSERT_EQ(Render({"--outfit", "Winter coat", "-o", dir / "coat.png"}), kExitOk) << errors;
    EXPECT_EQ(testing::ReadText(dir / "coat.png"), testing::ReadText(dir / "winter.png"));

    // An unknown name: nothing drawn, the name and the closest saved ones said.
    EXPECT_EQ(Render({"--outfit", "Sumer", "-o", dir / "x.png"}), kExitUsage);
    EXPECT_NE(errors.find("\"Sumer\""), std::string::npos) << errors;
    EXPECT_NE(errors.find("(closest: Summer"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
    // A name begun with a slip in it.
    EXPECT_EQ(Render({"--outfit", "Wintr", "-o", dir / "x.png"}), kExitUsage);
    EXPECT_NE(errors.find("(closest: Winter coat)"), std::string::npos) << errors;
    // The catalogue's base outfit is found the same way.
    EXPECT_EQ(Catalogue({"-o", dir / "c", "--outfit", "winter cot", "--slots", "shoes"}), kExitUsage);
    EXPECT_NE(errors.find("Winter coat"), std::string::npos) << errors;

    // No outfits file at all: still a clear refusal.
    std::filesystem::remove(OutfitsFileName());
    EXPECT_EQ(Render({"--outfit", "Summer", "-o", dir / "x.png"}), kExitUsage);
    EXPECT_NE(errors.find("\"Summer\""), std::string::npos) << errors;
}

TEST(ProgressLine, ShowsShareRateAndTimeLeft) {
    EXPECT_EQ(ProgressLine(50, 200, 2.0), "[######                  ] 25% 50/200 items, 25.0/s, 6s left");
    EXPECT_EQ(ProgressLine(200, 200, 4.0), "[########################] 100% 200/200 items, 50.0/s");
    EXPECT_EQ(ProgressLine(0, 0, 0), "[########################] 100% 0/0 items");
}

TEST(Turntable, FramesShareTheTurnEvenly) {
    EXPECT_EQ(TurntableYaw(0, 0, 4), 0);
    EXPECT_EQ(TurntableYaw(0, 1, 4), 1024);
    EXPECT_EQ(TurntableYaw(3000, 2, 4), (3000 + 2048) % 4096);
    EXPECT_EQ(TurntableYaw(0, 1, 3), 1365);
    EXPECT_EQ(TurntableYaw(0, 2, 3), 2731);
}

}  // namespace
}  // namespace wbx
