// The agent as a host reaches it by member name: values in the loose types hosts send, records
// handed out as objects, and events whose byRef argument the host answers.

#include <gtest/gtest.h>

#include "agent/AuAgent.h"
#include "automation/AutomationDispatcher.h"
#include "automation/AutomationEventRaiser.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

Variant Get(const ClassDescription& type, void* self, const char* name) {
    const auto r = Invoke(type, self, name, MemberKind::PropertyGet, {});
    return r.ok() ? r.value().scalar : Variant::MakeNull();
}

TEST(AgentMembers, WrittenValuesReadBackAsTheAgentKeepsThem) {
    TestPlatform tp;
    AuAgent agent(tp.platform());
    const struct {
        const char* member;
        Variant value;
        const char* readBack;
    } cases[] = {
        {"MajorVer", Variant(3.5), "4"}, // doubles round half to even
        {"MinorVer", Variant(2.5), "2"},
        {"Revision", Variant(-0.5), "0"},
        {"TestMode", Variant(std::int32_t{-1}), "True"},
        {"AutoConnect", Variant(std::int16_t{0}), "False"},
        {"ProductLCID", Variant(true), "-1"},
        {"BaseURL", Variant("http://127.0.0.1/au/"), "http://127.0.0.1/au"},
        {"productcode", Variant("AB12"), "{AB12}"},
        {"CampaignID", Variant(1234567.25), "1234567.25"}, // numbers as text with every digit
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(
            Invoke(AuAgentClass(), &agent, c.member, MemberKind::PropertyPut, {c.value}).ok())
            << c.member;
        EXPECT_EQ(Get(AuAgentClass(), &agent, c.member).ToText(), c.readBack) << c.member;
    }
    const auto tooLarge =
        Invoke(AuAgentClass(), &agent, "MajorVer", MemberKind::PropertyPut, {Variant(3e9)});
    EXPECT_EQ(tooLarge.ok() ? 0 : tooLarge.error().number, kErrTypeMismatch);
    EXPECT_EQ(agent.MajorVer(), 4);
}

TEST(AgentMembers, TheRecordHandedOutShowsEachStoredFieldUnderItsOwnName) {
    TestPlatform tp;
    AuAgent agent(tp.platform());
    agent.SetProductCode("AB12");
    agent.SetProductAttribute("last-checked-date", "2024-05-17 14:03:59");
    agent.SetProductAttribute("last-init-date", "2001-02-03 04:05:06");
    agent.SetProductAttribute("last-update-cmd", "setup.sh -q");
    agent.SetProductAttribute("last-update-name", "Studio 5.1");
    const auto r = Invoke(AuAgentClass(), &agent, "GetProductInfo", MemberKind::Method, {});
    ASSERT_TRUE(r.ok() && r.value().IsObject());
    ASSERT_EQ(r.value().object.type, &AuProductInfoClass());
    void* record = r.value().object.instance.get();
    EXPECT_EQ(Get(AuProductInfoClass(), record, "LastCheckedDate").ToText(), "2024-05-17 14:03:59");
    EXPECT_EQ(Get(AuProductInfoClass(), record, "LastInitDate").ToText(), "2001-02-03 04:05:06");
    EXPECT_EQ(Get(AuProductInfoClass(), record, "LastUpdateCmd").ToText(), "setup.sh -q");
    EXPECT_EQ(Get(AuProductInfoClass(), record, "LastUpdateName").ToText(), "Studio 5.1");
    EXPECT_EQ(Get(AuProductInfoClass(), record, "ProductCode").ToText(), "{AB12}");
}

// A front that hands each event on as its arguments and answers bSkipDialog as told.
struct AnsweringFront : AutomationEventRaiser {
    void Raise(const EventDescription& event, std::vector<Variant>& args) override {
        raised.push_back(std::string(event.name));
        for (const Variant& a : args)
            raised.back() += " " + a.ToText().value_or("?");
        if (event.name == "NewMessages")
            args.back() = answer;
    }
    Variant answer;
    std::vector<std::string> raised;
};

TEST(AgentMembers, EventsArriveInTheirOrderAndTheHostsAnswerIsReadBack) {
    AnsweringFront front;
    for (const auto& [answer, skip] :
         {std::pair(Variant(true), true), std::pair(Variant("0"), false),
          std::pair(Variant(), true)}) {
        front.answer = answer;
        bool bSkipDialog = true;
        front.NewMessages(3, "S1", "<r/>", bSkipDialog);
        EXPECT_EQ(bSkipDialog, skip) << answer.ToText().value_or("empty");
    }
    front.ProcessCompleted();
    EXPECT_EQ(front.raised.front(), "NewMessages 3 S1 <r/> True");
    EXPECT_EQ(front.raised.back(), "ProcessCompleted");
}

} // namespace
} // namespace KDAutoUpdate
