// The keyed collection of the records.

#include <gtest/gtest.h>

#include <vector>

#include "agent/AuAgent.h"
#include "deploy/KeyedCollection.h"
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

} // namespace
} // namespace KDAutoUpdate
