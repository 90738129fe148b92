// The resource registry of the device component.

#include <gtest/gtest.h>

#include <algorithm>

#include "base/format.h"
#include "device/korvane.h"
#include "device/texture.h"
#include "devicefixture.h"

namespace wbx {
namespace {

using testing::DeviceFixture;
using RegistryTest = DeviceFixture;
using RegistryDeathTest = DeviceFixture;

std::vector<int32_t> Ids(const TKorvane& k) {
    std::vector<int32_t> ids;
    for (const auto& entry : k.Resources) ids.push_back(entry->ID);
    return ids;
}

// A registered object that keeps the rules: registers on construction,
// unregisters on destruction, and writes what happens to it into a journal.
class Probe : public TKVResource {
public:
    Probe(TKorvane& k, std::string name, std::vector<std::string>& journal, bool unregister = true)
        : k_(k), name_(std::move(name)), journal_(journal), unregister_(unregister) {
        ID = k_.RegisterResource(
            this, "Probe", name_, [this] { Note("release"); }, [this] { Note("rebuild"); },
            [this] { Note("lost"); }, [this] { Note("reset"); });
    }
    ~Probe() override {
        journal_.push_back(name_ + " destroyed" +
                           (k_.Device != nullptr ? " before the device" : " after the device"));
        if (unregister_) k_.UnregisterResource(ID);
    }
    void Note(const std::string& what) {
        journal_.push_back(name_ + " " + what);
        // A copy: the hook may free this object; nothing of it is touched afterwards.
        const auto hook = onNote;
        if (hook) hook(what);
    }

    int32_t ID = 0;
    std::function<void(const std::string&)> onNote;  // runs inside a notification

private:
    TKorvane& k_;
    std::string name_;
    std::vector<std::string>& journal_;
    bool unregister_;
};

TEST_F(RegistryTest, IdsCountUpAndAreNeverReused) {
    Start();
    std::vector<std::string> journal;
    auto a = std::make_unique<Probe>(*kv, "a", journal);
    auto b = std::make_unique<Probe>(*kv, "b", journal);
    auto c = std::make_unique<Probe>(*kv, "c", journal);
    EXPECT_EQ(Ids(*kv), (std::vector<int32_t>{0, 1, 2}));
    b.reset();
    auto d = std::make_unique<Probe>(*kv, "d", journal);
    EXPECT_EQ(d->ID, 3);
    EXPECT_EQ(Ids(*kv), (std::vector<int32_t>{0, 2, 3}));
    const auto lines = Trimmed();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Korvaneリソース(Probe)を登録します ID は 3(d) です"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Korvaneリソース(Probe) : ID 1(b) を登録解除します"),
              lines.end());
}

TEST_F(RegistryTest, NotificationsRunInRegistrationOrderForEachEvent) {
    Start();
    std::vector<std::string> journal;
    Probe a(*kv, "a", journal), b(*kv, "b", journal);
    TKorvane& k = *kv;
    SetWindowMode(640, 480);
    k.ResetDevice();
    EXPECT_EQ(journal, (std::vector<std::string>{"a release", "b release", "a rebuild", "b rebuild", "a lost",
                                                 "b lost", "a reset", "b reset"}));
}

TEST_F(RegistryTest, EmptyNotificationsAreSkippedButTheEntryStaysListed) {
    Start();
    struct Silent : TKVResource {
        TKorvane* k;
        int32_t id;
        explicit Silent(TKorvane* owner) : k(owner) {
            id = k->RegisterResource(this, "Silent", "s", {}, {}, {}, {});
        }
        ~Silent() override { k->UnregisterResource(id); }
    };
    new Silent(kv.get());  // a leftover, made with new and owned by nobody
    SetWindowMode(640, 480);
    kv->ResetDevice();
    EXPECT_EQ(Ids(*kv), std::vector<int32_t>{0});
    kv.reset();
    const auto lines = Trimmed();
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), "ID 0(s) のKorvaneリソースは、明示的に解放されていません"),
        lines.end());
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(RegistryTest, ReleaseAllOnAnEmptyRegistryWritesOnlyItsLine) {
    Start();
    ResetLogState();
    HaltOnErrorSwitch = false;
    kv->ReleaseAllResources();
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"全てのKorvaneリソースを解放します"});
}

TEST_F(RegistryTest, LeftoversAreDestroyedOldestFirstBeforeTheDevice) {
    Start();
    std::vector<std::string> journal;
    new Probe(*kv, "first", journal);
    auto* texture = new TKVTexture(kv.get(), {D3DFMT_A1R5G5B5}, 0, D3DPOOL_MANAGED, 0, "tex");
    texture->SetSize(8, 8);
    new Probe(*kv, "last", journal);
    ResetLogState();
    HaltOnErrorSwitch = false;
    kv.reset();
    EXPECT_EQ(journal, (std::vector<std::string>{"first destroyed before the device",
                                                 "last destroyed before the device"}));
    std::vector<std::string> leftovers;
    for (const std::string& line : Trimmed())
        if (line.find("明示的に解放されていません") != std::string::npos) leftovers.push_back(line);
    EXPECT_EQ(leftovers,
              (std::vector<std::string>{"ID 0(first) のKorvaneリソースは、明示的に解放されていません",
                                        "ID 1(tex) のKorvaneリソースは、明示的に解放されていません",
                                        "ID 2(last) のKorvaneリソースは、明示的に解放されていません"}));
    EXPECT_TRUE(FailureLines().empty()) << "the texture went before the device, so every count reached 0";
}

TEST_F(RegistryDeathTest, UnregisteringAnUnknownIdHalts) {
    Start();
    EXPECT_EXIT(
        {
            ResetLogState();  // all switches on
            kv->UnregisterResource(7);
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(LogText(),
              "#00001 | リストに入ってないKorvaneリソース(ID:7)が、UnregisterResource手続きに渡されました"
              "(Error Code = UNKNOWN ERROR ... $00000001)\r\n");
}

TEST_F(RegistryTest, UnregisteringAnUnknownIdWithoutHaltChangesNothing) {
    Start();
    std::vector<std::string> journal;
    Probe a(*kv, "a", journal);
    kv->UnregisterResource(7);
    EXPECT_EQ(Ids(*kv), std::vector<int32_t>{0});
    EXPECT_EQ(FailureLines().size(), 1u);
}

// The loop rule: the entries of the moment the loop starts are notified in
// order; one unregistered meanwhile is skipped from then on; one registered
// meanwhile waits for the next event.
TEST_F(RegistryTest, NotificationsThatUnregisterOrRegisterDuringALoop) {
    Start();
    std::vector<std::string> journal;
    auto a = std::make_unique<Probe>(*kv, "a", journal);
    auto b = std::make_unique<Probe>(*kv, "b", journal);
    auto c = std::make_unique<Probe>(*kv, "c", journal);
    std::unique_ptr<Probe> late;
    a->onNote = [&](const std::string& what) {
        if (what != "release") return;
        b.reset();  // a later entry goes away in the middle of the loop
        late = std::make_unique<Probe>(*kv, "late", journal);
    };
    c->onNote = [&](const std::string& what) {
        if (what == "release") c.reset();  // an entry that frees itself
    };
    kv->ReleaseAllResources();
    EXPECT_EQ(journal, (std::vector<std::string>{"a release", "b destroyed before the device", "c release",
                                                 "c destroyed before the device"}));
    EXPECT_EQ(Ids(*kv), (std::vector<int32_t>{0, 3}));
    journal.clear();
    kv->RebuildAllResources();
    EXPECT_EQ(journal, (std::vector<std::string>{"a rebuild", "late rebuild"}));
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(RegistryTest, DestroyCopesWithObjectsThatBreakTheContract) {
    Start();
    std::vector<std::string> journal;
    new Probe(*kv, "forgetful", journal, false);  // never unregisters
    auto* twice = new Probe(*kv, "twice", journal);
    kv->RegisterResource(twice, "Probe", "twice again", {}, {}, {},
                         {});  // a second entry for the same object
    new Probe(*kv, "good", journal);
    kv.reset();  // must end, deleting every object exactly once
    EXPECT_EQ(journal, (std::vector<std::string>{"forgetful destroyed before the device",
                                                 "twice destroyed before the device",
                                                 "good destroyed before the device"}));
    const auto failures = FailureLines();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(
        failures[0],
        "ID 0(forgetful) のKorvaneリソースは、解放後も登録されたままです(Error Code = UNKNOWN ERROR ... "
        "$00000001)");
    EXPECT_EQ(failures[1].rfind("ID 2(twice again) のKorvaneリソースは、解放後も登録されたままです", 0), 0u);
}

}  // namespace
}  // namespace wbx
