// The message and feature records, their keyed collection, and the first steps of deploying a
// message (the information case and the product element that every type looks up).

#include <gtest/gtest.h>

#include <vector>

#include "agent/AuAgent.h"
#include "deploy/AuFeature.h"
#include "deploy/AuMessage.h"
#include "deploy/KeyedCollection.h"
#include "platform/Desktop.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

struct Tracked {
    explicit Tracked(int v, int* destroyed = nullptr) : value(v), destroyedCount(destroyed) {}
    ~Tracked() {
        if (destroyedCount)
            ++*destroyedCount;
    }
    int value;
    int* destroyedCount;
};

TEST(KeyedCollection, ALargeCollectionFindsEveryKeyInAnyCaseAndKeepsItsOrder) {
    KeyedCollection<Tracked> c;
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(c.Add("Key" + std::to_string(i), std::make_unique<Tracked>(i)));
    for (int i = 0; i < 40; ++i) {
        EXPECT_FALSE(c.Add("KEY" + std::to_string(i), std::make_unique<Tracked>(-1))) << i;
        ASSERT_NE(c.Find("key" + std::to_string(i)), nullptr) << i;
        EXPECT_EQ(c.Find("key" + std::to_string(i))->value, i);
        EXPECT_EQ(c.Item(static_cast<std::size_t>(i))->value, i);
    }
    EXPECT_EQ(c.Count(), 40u);
}

TEST(KeyedCollection, KeysIgnoreCaseIncludingUmlautsAndTheFirstOfAKeyStays) {
    TestPlatform tp;
    AuAgent agent(tp.platform()); // installs the platform's lower-casing
    KeyedCollection<Tracked> c;
    int dropped = 0;
    EXPECT_TRUE(c.Add("Alpha", std::make_unique<Tracked>(1)));
    EXPECT_TRUE(c.Add("Ärger", std::make_unique<Tracked>(2)));
    EXPECT_TRUE(c.Add("beta", std::make_unique<Tracked>(3)));
    EXPECT_FALSE(c.Add("ALPHA", std::make_unique<Tracked>(9, &dropped)));
    EXPECT_FALSE(c.Add("äRGER", std::make_unique<Tracked>(9, &dropped)));
    EXPECT_EQ(dropped, 2) << "a rejected item is dropped at once";
    EXPECT_FALSE(c.Add("gamma", nullptr));

    ASSERT_EQ(c.Count(), 3u);
    EXPECT_EQ(c.Find("alpha")->value, 1);
    EXPECT_EQ(c.Find("ÄRGER")->value, 2);
    EXPECT_EQ(c.Find("Beta")->value, 3);
    EXPECT_EQ(c.Find("alph"), nullptr);
    EXPECT_EQ(c.Find("gamma"), nullptr);
    EXPECT_EQ(c.Key(1), "Ärger") << "keys are kept as written";

    std::vector<int> order;
    for (const Tracked& t : c)
        order.push_back(t.value);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(c.Item(2)->value, 3);
    EXPECT_EQ(c.Item(3), nullptr);
    EXPECT_EQ(c.Key(3), "");
}

TEST(Records, NewRecordsStartEmptyAndFeaturesInstallWhenMandatoryOrChecked) {
    const AuMessage m;
    EXPECT_EQ(m.ID(), "");
    EXPECT_EQ(m.Name(), "");
    EXPECT_EQ(m.DownloadPath(), "");
    EXPECT_EQ(m.LocalPath(), "");
    EXPECT_EQ(m.CmdLine(), "");
    EXPECT_EQ(m.MessageType(), aumtInfo);
    EXPECT_FALSE(m.IsCompressed());
    EXPECT_FALSE(m.MustBePaid());
    EXPECT_EQ(m.Features().Count(), 0u);
    EXPECT_EQ(&m.Features(), &m.Features());
    EXPECT_EQ(m.Agent(), nullptr);

    const AuFeature f;
    EXPECT_EQ(f.Name(), "");
    EXPECT_EQ(f.FeatureType(), auftNewFeature);
    EXPECT_FALSE(f.IsMandatory());
    EXPECT_FALSE(f.AllowUserSelection());
    EXPECT_FALSE(f.IsChecked());

    const struct {
        bool mandatory;
        bool checked;
        bool installs;
    } cases[] = {
        {false, false, false}, {false, true, true}, {true, false, true}, {true, true, true}};
    for (const auto& c : cases) {
        AuFeature feature;
        feature.SetIsMandatory(c.mandatory);
        feature.SetIsChecked(c.checked);
        EXPECT_EQ(feature.InstallState(), c.installs)
            << "mandatory " << c.mandatory << " checked " << c.checked;
    }
}

TEST(Records, FeaturesAddedThroughTheMessageBelongToIt) {
    AuMessage m;
    auto feature = std::make_unique<AuFeature>();
    feature->SetName("Reports");
    m.Features().Add("Reports", std::move(feature));
    m.SetMessageType(static_cast<AuMessageTypes>(42));
    EXPECT_EQ(m.MessageType(), 42) << "any value is stored";
    ASSERT_EQ(m.Features().Count(), 1u);
    EXPECT_EQ(m.Features().Find("REPORTS")->Name(), "Reports");
}

class DeployTest : public ::testing::Test {
protected:
    void SetUp() override {
        tp.platform().desktop = &desktop;
        agent = std::make_unique<AuAgent>(tp.platform());
        agent->SetProductCode("{AB12}");
    }
    std::unique_ptr<AuMessage> Message(AuMessageTypes type) {
        auto m = std::make_unique<AuMessage>();
        m->SetAgentPtr(agent->Ptr());
        m->SetMessageType(type);
        m->SetDownloadPath("http://127.0.0.1/pkg");
        return m;
    }
    bool StoreHasProduct() {
        return agent->UpdateInfoDocument()->xml().find("{AB12}") != std::string::npos;
    }

    TestPlatform tp;
    RecordingDesktop desktop;
    std::unique_ptr<AuAgent> agent;
};

TEST_F(DeployTest, AnInformationMessageGoesToTheDesktopDownload) {
    auto m = Message(aumtInfo);
    EXPECT_EQ(m->Agent(), agent.get());
    ASSERT_FALSE(StoreHasProduct());
    m->Deploy();
    EXPECT_EQ(desktop.Urls(), (std::vector<std::string>{"http://127.0.0.1/pkg"}));
    EXPECT_TRUE(StoreHasProduct()) << "the product element is looked up first";
    m->DownloadFileIE();
    EXPECT_EQ(desktop.Urls().size(), 2u);
}

TEST_F(DeployTest, OtherTypesDoNotUseTheDesktopButStillLookUpTheProduct) {
    for (const auto type : {aumtExe, aumtMSP, aumtPFTW, static_cast<AuMessageTypes>(7)})
        Message(type)->Deploy();
    EXPECT_TRUE(desktop.Urls().empty());
    EXPECT_TRUE(StoreHasProduct());
}

TEST_F(DeployTest, WithoutADesktopOrOnceTheAgentHasEndedNothingHappens) {
    auto m = Message(aumtInfo);
    tp.platform().desktop = nullptr;
    m->DownloadFileIE();
    m->Deploy();
    tp.platform().desktop = &desktop;
    agent.reset();
    EXPECT_EQ(m->Agent(), nullptr);
    m->Deploy();
    m->DownloadFileIE();
    EXPECT_TRUE(desktop.Urls().empty());
}

} // namespace
} // namespace KDAutoUpdate
